// The form the dialog tests run in. Each dialog test executable is registered twice: once
// headless, and once (label x11, run under Xvfb) with ORVEX_TEST_DIALOGS=screen, where every
// dialog must be drawn on the X display, so that a missing display fails instead of quietly
// testing the headless form again.
#include <gtest/gtest.h>
#include <orvex/platform.h>

#include <cstdlib>
#include <string_view>

namespace {

class DialogFormEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* form = std::getenv("ORVEX_TEST_DIALOGS");
    if (form != nullptr && std::string_view(form) == "screen") {
      ASSERT_EQ(OrvexPlatform_GetDialogsOnScreen(), 1)
          << "the dialogs cannot be drawn: no X display answers at $DISPLAY";
    } else {
      OrvexPlatform_SetDialogsOnScreen(0);
      ASSERT_EQ(OrvexPlatform_GetDialogsOnScreen(), 0);
    }
  }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new DialogFormEnvironment);

}  // namespace
