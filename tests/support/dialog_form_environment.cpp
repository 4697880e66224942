// The form the dialog tests run in. Each dialog test executable is registered twice: once
// headless, and once (label x11, run under Xvfb) with ORVEX_TEST_DIALOGS=screen, where every
// dialog must be drawn on the X display, so that a missing display fails instead of quietly
// testing the headless form again.
#include <gtest/gtest.h>
#include <orvex/platform.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

class DialogFormEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* form = std::getenv("ORVEX_TEST_DIALOGS");
    if (form != nullptr && std::string_view(form) == "screen") {
      const char* display = std::getenv("DISPLAY");
      if (display == nullptr || *display == '\0') {
        // Skipping here leaves GoogleTest reporting the tests as passed; the line tells ctest.
        std::printf("[  SKIPPED ] no X display: set DISPLAY (CI runs these tests under Xvfb)\n");
        GTEST_SKIP();
      }
      // A failed assertion here would only skip the tests: the run fails outright instead.
      if (OrvexPlatform_GetDialogsOnScreen() != 1) {
        std::fprintf(stderr, "the dialogs cannot be drawn: no X display answers at %s\n", display);
        std::exit(1);
      }
    } else {
      OrvexPlatform_SetDialogsOnScreen(0);
      ASSERT_EQ(OrvexPlatform_GetDialogsOnScreen(), 0);
    }
  }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new DialogFormEnvironment);

}  // namespace
