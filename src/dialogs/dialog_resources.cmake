# The dialog resources. The template table (dialogs/dialog_templates.cpp) is the one source of
# every dialog: a small program built for the build machine writes the resource script from it,
# which the Windows build compiles into the library itself (a resource object in a static library
# would never be pulled in). The Linux build writes the script too, so that a test can hold it
# against the table.
set(orvex_dialog_rc ${CMAKE_CURRENT_BINARY_DIR}/OrvexSdk_QX218_dialogs.rc)
set(orvex_dialog_rc_sources
  ${PROJECT_SOURCE_DIR}/tools/dialog_resources/generate_dialog_resources.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/dialog_templates.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/resource_script.cpp)
file(GLOB orvex_dialog_rc_headers CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/*.h ${CMAKE_CURRENT_SOURCE_DIR}/platform/*.h)

if(CMAKE_CROSSCOMPILING)
  find_program(ORVEX_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
  set(orvex_dialog_rc_generator ${CMAKE_CURRENT_BINARY_DIR}/generate_dialog_resources)
  add_custom_command(OUTPUT ${orvex_dialog_rc_generator}
    COMMAND ${ORVEX_HOST_CXX} -std=c++20 -O1 -I${CMAKE_CURRENT_SOURCE_DIR}
            -o ${orvex_dialog_rc_generator} ${orvex_dialog_rc_sources}
    DEPENDS ${orvex_dialog_rc_sources} ${orvex_dialog_rc_headers}
    COMMENT "Building the dialog resource generator for the build machine"
    VERBATIM)
  set(orvex_dialog_rc_generator_target ${orvex_dialog_rc_generator})
else()
  add_executable(orvex_generate_dialog_resources ${orvex_dialog_rc_sources})
  target_include_directories(orvex_generate_dialog_resources PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  set(orvex_dialog_rc_generator $<TARGET_FILE:orvex_generate_dialog_resources>)
  set(orvex_dialog_rc_generator_target orvex_generate_dialog_resources)
endif()

add_custom_command(OUTPUT ${orvex_dialog_rc}
  COMMAND ${orvex_dialog_rc_generator} ${orvex_dialog_rc}
  DEPENDS ${orvex_dialog_rc_generator_target}
  COMMENT "Writing the dialog resource script"
  VERBATIM)
add_custom_target(orvex_dialog_resources ALL DEPENDS ${orvex_dialog_rc})
set_target_properties(orvex_dialog_resources PROPERTIES ORVEX_RESOURCE_SCRIPT ${orvex_dialog_rc})

if(ORVEX_WINDOWS)
  enable_language(RC)
  target_sources(OrvexSdk_QX218 PRIVATE ${orvex_dialog_rc})
endif()
