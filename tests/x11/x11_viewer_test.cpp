// orvex preview used as a person uses it on an X display: its keys and buttons open the
// property dialogs over the live picture, the picture follows what is done in them, and the
// ways to end the command still work while one is open.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include "x11/viewer_session.h"

namespace {

using orvex::testing::ScreenRect;
using orvex::testing::TestDisplay;
using orvex::testing::ViewerSession;
using orvex::testing::WaitUntil;

class ViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (*display_.Unusable() != '\0') GTEST_SKIP() << display_.Unusable();
    ASSERT_TRUE(orvex::testing::HaveXdotool()) << "xdotool is missing (scripts/install-deps.sh)";
  }

  TestDisplay display_;
};

TEST_F(ViewerTest, TheImageDialogChangesThePictureAtOnceAndCancelTakesItBack) {
  ViewerSession viewer(display_, ORVEX_TOOL_PATH, {"--size", "640,512", "--color-mode", "24"}, "");
  ASSERT_TRUE(viewer.Started());
  ASSERT_TRUE(viewer.TypeIntoViewer("i"));
  const Window dialog = viewer.WaitForDialog();
  ASSERT_NE(dialog, 0u);
  EXPECT_EQ(viewer.Title(dialog), "Property");
  const ScreenRect covered = viewer.Rect(dialog);
  const double shown = viewer.WaitForPicture(covered, [](double mean) { return mean > 0; });
  ASSERT_GT(shown, 0);
  ASSERT_LT(shown, 200) << "the scene is too bright to see the picture brighten";

  // Brightness to the end of its range, while the dialog is still open.
  ASSERT_TRUE(ViewerSession::Type("alt+b End"));
  const double brighter =
      viewer.WaitForPicture(covered, [&](double mean) { return mean > shown + 40; });
  EXPECT_GT(brighter, shown + 40);

  ASSERT_TRUE(ViewerSession::Type("Escape"));
  ASSERT_TRUE(viewer.WaitUntilNoDialog());
  EXPECT_FALSE(viewer.tool().LineWith("the image dialog is closed").empty());
  const double after =
      viewer.WaitForPicture(covered, [&](double mean) { return std::abs(mean - shown) < 2; });
  EXPECT_NEAR(after, shown, 2);
}

TEST_F(ViewerTest, TheCameraDialogsButtonOpensItInJapaneseAndTheWindowFollowsANewSize) {
  ViewerSession viewer(display_, ORVEX_TOOL_PATH, {"--lang", "ja"},
                       orvex::testing::kTwoSizeSettings);
  ASSERT_TRUE(viewer.Started());
  const int toolbar = viewer.Rect(viewer.window()).height - 480;
  ASSERT_GT(toolbar, 0);
  // The first button of the strip along the top.
  ASSERT_TRUE(viewer.ClickViewer(12, toolbar / 2));
  const Window dialog = viewer.WaitForDialog();
  ASSERT_NE(dialog, 0u);
  EXPECT_EQ(viewer.Title(dialog), "プロパティ");
  EXPECT_FALSE(viewer.tool().LineWith("the camera dialog is open").empty());

  // The keyboard starts on the colour list; Tab goes on to the sizes, Enter is OK.
  ASSERT_TRUE(ViewerSession::Type("Tab Down Return"));
  ASSERT_TRUE(viewer.WaitUntilNoDialog());
  EXPECT_FALSE(viewer.tool().LineWith("preview of 320 x 240").empty());
  EXPECT_TRUE(WaitUntil([&] {
    return viewer.Rect(viewer.window()).height == toolbar + 240 && viewer.Picture() != 0 &&
           viewer.Rect(viewer.Picture()).width == 320;
  }));
  EXPECT_GT(viewer.WaitForPicture({}, [](double mean) { return mean > 0; }), 0);
}

TEST_F(ViewerTest, TheAutomaticExposureGoesOnWhileTheAnalogDialogIsOpen) {
  ViewerSession viewer(display_, ORVEX_TOOL_PATH, {"--size", "640,512", "--auto-exposure"}, "");
  ASSERT_TRUE(viewer.Started());
  ASSERT_TRUE(viewer.TypeIntoViewer("a"));
  const Window dialog = viewer.WaitForDialog();
  ASSERT_NE(dialog, 0u);
  const ScreenRect covered = viewer.Rect(dialog);
  const double settled = viewer.WaitForPicture(covered, [](double mean) { return mean > 0; });
  ASSERT_GT(settled, 60);
  // The longest exposure darkens the picture to a sixth or so; the automatic exposure brings it
  // back into its band, and the dialog, which shows each exposure it writes, does not undo that.
  ASSERT_TRUE(ViewerSession::Type("alt+e End"));
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const double after =
      viewer.WaitForPicture(covered, [&](double mean) { return mean > settled * 0.6; });
  EXPECT_GT(after, settled * 0.6);
  ASSERT_TRUE(ViewerSession::Type("Escape"));
  EXPECT_TRUE(viewer.WaitUntilNoDialog());
}

TEST_F(ViewerTest, CtrlCWithADialogOpenClosesItAndEndsTheCommand) {
  ViewerSession viewer(display_, ORVEX_TOOL_PATH, {"--size", "320,256"}, "");
  ASSERT_TRUE(viewer.Started());
  ASSERT_TRUE(viewer.TypeIntoViewer("a"));
  ASSERT_NE(viewer.WaitForDialog(), 0u);
  kill(viewer.tool().pid(), SIGINT);
  EXPECT_FALSE(viewer.tool().LineWith("interrupted:").empty());
  EXPECT_EQ(viewer.tool().Wait(), 0);
  EXPECT_TRUE(viewer.WaitUntilNoDialog());
}

}  // namespace
