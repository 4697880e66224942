#include "dialogs/image_dialog.h"

#include <gtest/gtest.h>

#include <thread>

#include "dialog_test_support.h"
#include "dialogs/dialog_controls.h"

namespace orvex::dialogs::testing {
namespace {

const SliderRow& kGamma = kImageFilterRows[8];
const SliderRow& kRGain = kImageFilterRows[5];
const SliderRow& kGrayRed = kGrayFilterRows[0];

class ImageDialogTest : public DialogTest {
 protected:
  ImageDialogTest() {
    camera.image.Gamma = 100;
    camera.image.R_Gain = 100;
    camera.image.BayerMode = 1;
    camera.image.GainR1 = 128;
  }
  OpenDialog Open(std::int32_t colorType) {
    camera.format.Color = colorType;
    return OpenDialog([this] { return RunImageDialog(camera, host, 0); });
  }
};

TEST_F(ImageDialogTest, TheColorTypeDecidesTheEnabledRowsAndTheGrayFilterTab) {
  for (const std::int32_t colorType : {0, 1, 2, 3, 4, 5}) {
    SCOPED_TRACE(::testing::Message() << "ColorType " << colorType);
    const bool gray = colorType <= 1;
    OpenDialog dialog = Open(colorType);
    const OrvexWindow page = dialog.Page();
    ASSERT_NE(page, OrvexWindow{});
    const bool rowsEnabledForGray[9] = {true, true, false, false, true, false, false, false, true};
    for (std::size_t i = 0; i < kImageFilterRows.size(); ++i) {
      const int expected = !gray || rowsEnabledForGray[i] ? 1 : 0;
      EXPECT_EQ(OrvexPlatform_IsItemEnabled(page, kImageFilterRows[i].trackbar), expected) << i;
      EXPECT_EQ(OrvexPlatform_IsItemEnabled(page, kImageFilterRows[i].edit), expected) << i;
    }
    for (const std::int32_t id : {kButtonOnce, kCheckAllFrames, kRadiosBayerMode[0]}) {
      EXPECT_EQ(OrvexPlatform_IsItemEnabled(page, id), gray ? 0 : 1) << id;
    }
    EXPECT_EQ(OrvexPlatform_GetTabCount(dialog.window, kTabControl), gray ? 2 : 1);
    EXPECT_EQ(dialog.Page(1) != 0, gray);
    EXPECT_EQ(OrvexPlatform_IsItemChecked(page, kRadiosBayerMode[1]), 1);
    EXPECT_EQ(dialog.Close(kButtonCancel), 1);
  }
}

TEST_F(ImageDialogTest, ChangesReachTheSettingsAtOnceAndCancelBringsThemBack) {
  OpenDialog dialog = Open(3);
  const OrvexWindow page = dialog.Page();
  ASSERT_EQ(OrvexPlatform_MoveTrackbar(page, kGamma.trackbar, 150), 1);
  EXPECT_EQ(camera.image.Gamma, 150);
  EXPECT_EQ(ItemText(page, kGamma.edit), "150");
  ASSERT_EQ(OrvexPlatform_SetItemText(page, kImageFilterRows[0].edit, "-40"), 1);
  EXPECT_EQ(camera.image.Brightness, -40);
  EXPECT_EQ(TrackbarPosition(page, kImageFilterRows[0].trackbar), -40);
  ASSERT_EQ(OrvexPlatform_ClickItem(page, kRadiosBayerMode[2]), 1);
  EXPECT_EQ(camera.image.BayerMode, 2);
  EXPECT_EQ(dialog.Close(kButtonCancel), 1);
  EXPECT_EQ(camera.image.Gamma, 100);
  EXPECT_EQ(camera.image.Brightness, 0);
  EXPECT_EQ(camera.image.BayerMode, 1);
  EXPECT_EQ(camera.imageDialog.load(), nullptr);
}

TEST_F(ImageDialogTest, DefaultResetsEveryPageAtOnce) {
  camera.image.Gamma = 150;
  camera.image.GainR1 = 300;
  camera.image.OffsetB1 = -20;
  OpenDialog dialog = Open(0);
  ASSERT_EQ(OrvexPlatform_ClickItem(dialog.window, kButtonDefault), 1);
  EXPECT_EQ(camera.image.Gamma, 100);
  EXPECT_EQ(camera.image.BayerMode, 3);
  EXPECT_EQ(camera.image.GainR1, 128);
  EXPECT_EQ(camera.image.OffsetB1, 0);
  EXPECT_EQ(ItemText(dialog.Page(), kGamma.edit), "100");
  EXPECT_EQ(OrvexPlatform_IsItemChecked(dialog.Page(), kRadiosBayerMode[3]), 1);
  EXPECT_EQ(ItemText(dialog.Page(1), kGrayRed.edit), "128");
  EXPECT_EQ(dialog.Close(kButtonOk), 1);
  EXPECT_EQ(camera.image.Gamma, 100);
  EXPECT_EQ(camera.image.GainR1, 128);
}

TEST_F(ImageDialogTest, OnceUnchecksAllFramesAndBothStartUnchecked) {
  camera.image.BayerGainAuto = 1;
  OpenDialog dialog = Open(3);
  const OrvexWindow page = dialog.Page();
  EXPECT_EQ(OrvexPlatform_IsItemChecked(page, kCheckAllFrames), 0);
  ASSERT_EQ(OrvexPlatform_ClickItem(page, kCheckAllFrames), 1);
  EXPECT_EQ(camera.image.BayerGainAuto, 1);
  EXPECT_EQ(camera.image.BayerGainOnce1, 0);
  ASSERT_EQ(OrvexPlatform_ClickItem(page, kButtonOnce), 1);
  EXPECT_EQ(OrvexPlatform_IsItemChecked(page, kCheckAllFrames), 0);
  EXPECT_EQ(camera.image.BayerGainAuto, 1);
  EXPECT_EQ(camera.image.BayerGainOnce1, 1);
  EXPECT_EQ(camera.image.BayerGainOnce2, 1);
  EXPECT_EQ(dialog.Close(kButtonOk), 1);
}

TEST_F(ImageDialogTest, CancelStopsTheWhiteBalanceBeforeItsViewGoes) {
  OpenDialog dialog = Open(3);
  ASSERT_EQ(OrvexPlatform_ClickItem(dialog.Page(), kButtonOnce), 1);
  EXPECT_EQ(dialog.Close(kButtonCancel), 1);
  // Clearing the view waits out the frame in progress; a later frame must not measure.
  EXPECT_EQ(camera.whiteBalanceWhenCleared, 0);
  EXPECT_EQ(camera.image.BayerGainOnce1, 0);
}

TEST_F(ImageDialogTest, GrayPageTogglesGrayBalanceAndSetsItsModes) {
  camera.image.GrayBalanceCount = 0;
  OpenDialog dialog = Open(1);
  const OrvexWindow grayPage = dialog.Page(1);
  ASSERT_NE(grayPage, OrvexWindow{});
  // Hidden until its tab is chosen.
  EXPECT_EQ(OrvexPlatform_ClickItem(grayPage, kCheckAllFrames), 0);
  ASSERT_EQ(OrvexPlatform_SelectTab(dialog.window, kTabControl, 1), 1);
  EXPECT_EQ(OrvexPlatform_IsWindowVisible(grayPage), 1);
  EXPECT_EQ(OrvexPlatform_IsWindowVisible(dialog.Page(0)), 0);

  EXPECT_EQ(OrvexPlatform_IsItemChecked(grayPage, kCheckAllFrames), 0);
  ASSERT_EQ(OrvexPlatform_ClickItem(grayPage, kCheckAllFrames), 1);
  EXPECT_EQ(camera.image.GrayBalanceCount, -1);
  ASSERT_EQ(OrvexPlatform_ClickItem(grayPage, kCheckAllFrames), 1);
  EXPECT_EQ(camera.image.GrayBalanceCount, 0);
  ASSERT_EQ(OrvexPlatform_ClickItem(grayPage, kButtonOnce), 1);
  EXPECT_EQ(camera.image.GrayBalanceCount, 1);
  ASSERT_EQ(OrvexPlatform_ClickItem(grayPage, kRadiosGrayMode[2]), 1);
  EXPECT_EQ(camera.image.GrayMode, 2);
  ASSERT_EQ(OrvexPlatform_MoveTrackbar(grayPage, kGrayFilterRows[5].trackbar, -300), 1);
  EXPECT_EQ(camera.image.OffsetG1, -255);
  // The Bayer Mode of a gray format is chosen on this page alone, and OK keeps it.
  ASSERT_EQ(OrvexPlatform_ClickItem(grayPage, kRadiosBayerMode[2]), 1);
  EXPECT_EQ(camera.image.BayerMode, 2);
  EXPECT_EQ(dialog.Close(kButtonOk), 1);
  EXPECT_EQ(camera.image.OffsetG1, -255);
  EXPECT_EQ(camera.image.GrayMode, 2);
  EXPECT_EQ(camera.image.BayerMode, 2);
}

TEST_F(ImageDialogTest, BalanceMeasurementsRefreshThePagesWithoutClosing) {
  OpenDialog dialog = Open(0);
  ImageDialogView* view = camera.imageDialog.load();
  ASSERT_NE(view, nullptr);
  // As the pipeline does on the preview thread: store the measured gains, then ask for a refresh.
  std::thread preview([&] {
    camera.image.R_Gain = 180;
    camera.image.GainR1 = 210;
    view->Refresh();
  });
  preview.join();
  WaitForPostedTasks(dialog.window);
  EXPECT_EQ(ItemText(dialog.Page(), kRGain.edit), "180");
  EXPECT_EQ(TrackbarPosition(dialog.Page(), kRGain.trackbar), 180);
  EXPECT_EQ(ItemText(dialog.Page(1), kGrayRed.edit), "210");
  EXPECT_EQ(dialog.Close(kButtonOk), 1);
  EXPECT_EQ(camera.image.R_Gain, 180);
  EXPECT_EQ(camera.image.GainR1, 210);
}

}  // namespace
}  // namespace orvex::dialogs::testing
