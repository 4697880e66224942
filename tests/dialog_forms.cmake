# Dialog tests run in both forms of the dialogs: headless, and drawn on an X display (label x11,
# run one at a time under Xvfb, as windows of two tests could cover each other). The test
# environment in support/dialog_form_environment.cpp holds each run to its form.
function(orvex_test_dialogs_in_both_forms target)
  if(ORVEX_WINDOWS)
    return()
  endif()
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/dialog_form_environment.cpp)
  gtest_discover_tests(${target} TEST_PREFIX "x11." DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS x11 RUN_SERIAL TRUE TIMEOUT 120
                                  ENVIRONMENT ORVEX_TEST_DIALOGS=screen)
endfunction()
