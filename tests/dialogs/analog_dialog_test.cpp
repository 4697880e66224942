#include "dialogs/analog_dialog.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "dialog_test_support.h"
#include "dialogs/dialog_controls.h"

namespace orvex::dialogs::testing {
namespace {

constexpr std::int32_t kTrackbarExposure = 1026;
constexpr std::int32_t kTrackbarGlobal = 1014;

class AnalogDialogTest : public DialogTest {
 protected:
  AnalogDialogTest() {
    camera.analog.Global = 5;
    camera.analog.ColorR = 7;
    camera.analog.Exposure = 99;
    camera.SetRegister(kExposureRegister, 123);
  }
  OpenDialog Open() {
    return OpenDialog([this] { return RunAnalogDialog(camera, host, 0); });
  }
};

TEST_F(AnalogDialogTest, OpeningClearsTheGainsAndCancelPutsTheOpeningExposureBack) {
  OpenDialog dialog = Open();
  const OrvexWindow page = dialog.Page();
  ASSERT_NE(page, OrvexWindow{});
  EXPECT_EQ(ItemText(page, kEditGlobalGain), "0");
  EXPECT_EQ(ItemText(page, kEditExposure), "123");
  EXPECT_EQ(TrackbarPosition(page, kTrackbarExposure), 123);
  EXPECT_EQ(OrvexPlatform_IsItemEnabled(page, kTrackbarGlobal), 0);
  EXPECT_EQ(OrvexPlatform_IsItemEnabled(page, kTrackbarExposure), 1);

  // Dragging reaches the camera at once.
  ASSERT_EQ(OrvexPlatform_MoveTrackbar(page, kTrackbarExposure, 300), 1);
  EXPECT_EQ(ItemText(page, kEditExposure), "255");
  EXPECT_EQ(camera.analog.Exposure, 255);
  EXPECT_EQ(camera.ExposureWrites(), (std::vector<std::uint16_t>{255}));

  EXPECT_EQ(dialog.Close(kButtonCancel), 1);
  EXPECT_EQ(camera.ExposureWrites(), (std::vector<std::uint16_t>{255, 123}));
  EXPECT_EQ(camera.analog.Exposure, 123);
  EXPECT_EQ(camera.analog.Global, 0);
  EXPECT_EQ(camera.analog.ColorR, 0);
  EXPECT_EQ(camera.analogDialog.load(), nullptr);
}

TEST_F(AnalogDialogTest, TypedExposureIsStoredAsTypedAndDefaultWritesFortyAtOnce) {
  OpenDialog dialog = Open();
  const OrvexWindow page = dialog.Page();
  EXPECT_EQ(OrvexPlatform_SetItemText(page, kEditExposure, "-5"), 0);  // digits only
  ASSERT_EQ(OrvexPlatform_SetItemText(page, kEditExposure, "1000"), 1);
  EXPECT_EQ(camera.analog.Exposure, 1000);
  EXPECT_EQ(TrackbarPosition(page, kTrackbarExposure), 255);
  EXPECT_EQ(camera.ExposureWrites().back(), 1000);

  ASSERT_EQ(OrvexPlatform_ClickItem(dialog.window, kButtonDefault), 1);
  EXPECT_EQ(camera.ExposureWrites().back(), 40);
  EXPECT_EQ(camera.analog.Exposure, 40);
  EXPECT_EQ(ItemText(page, kEditExposure), "40");
  EXPECT_EQ(TrackbarPosition(page, kTrackbarExposure), 40);
  EXPECT_EQ(dialog.Close(kButtonOk), 1);
  EXPECT_EQ(camera.analog.Exposure, 40);
  EXPECT_EQ(camera.ExposureWrites().back(), 40);
}

TEST_F(AnalogDialogTest, AutoIrisBoxesAreNeverBothCheckedAndMirrorIsOnlyShown) {
  camera.analog.AutoIris = 2;
  camera.analog.V_Mirror = 1;
  OpenDialog dialog = Open();
  const OrvexWindow page = dialog.Page();
  EXPECT_EQ(OrvexPlatform_IsItemChecked(page, kCheckAutoGain), 1);
  EXPECT_EQ(OrvexPlatform_IsItemEnabled(page, kCheckAutoGain), 0);
  EXPECT_EQ(OrvexPlatform_IsItemChecked(page, kCheckMirrorV), 1);
  EXPECT_EQ(OrvexPlatform_IsItemVisible(page, kCheckMirrorV), 0);
  EXPECT_EQ(OrvexPlatform_ClickItem(page, kCheckMirrorV), 0);

  ASSERT_EQ(OrvexPlatform_ClickItem(page, kCheckAutoExposure), 1);
  EXPECT_EQ(OrvexPlatform_IsItemChecked(page, kCheckAutoExposure), 1);
  EXPECT_EQ(OrvexPlatform_IsItemChecked(page, kCheckAutoGain), 0);
  EXPECT_EQ(camera.analog.AutoIris, 1);
  ASSERT_EQ(OrvexPlatform_ClickItem(page, kCheckAutoExposure), 1);
  EXPECT_EQ(camera.analog.AutoIris, 0);
  EXPECT_EQ(dialog.Close(kButtonOk), 1);
  EXPECT_EQ(camera.analog.AutoIris, 0);
  EXPECT_EQ(camera.analog.V_Mirror, 1);
}

TEST_F(AnalogDialogTest, CancelStopsTheAutomaticExposureBeforeItsViewGoes) {
  OpenDialog dialog = Open();
  ASSERT_EQ(OrvexPlatform_ClickItem(dialog.Page(), kCheckAutoExposure), 1);
  EXPECT_EQ(camera.analog.AutoIris, 1);
  EXPECT_EQ(dialog.Close(kButtonCancel), 1);
  // Clearing the view waits out the frame in progress; a later frame must not measure.
  EXPECT_EQ(camera.autoIrisWhenCleared, 0);
  EXPECT_EQ(camera.ExposureWrites().back(), 123);
}

TEST_F(AnalogDialogTest, TheAutomaticExposureShowsItsValuesAsIfTyped) {
  OpenDialog dialog = Open();
  const OrvexWindow page = dialog.Page();
  AnalogDialogView* view = camera.analogDialog.load();
  ASSERT_NE(view, nullptr);
  // The preview thread's calls return at once; the dialog's thread carries them out in order.
  std::thread preview([view] {
    view->SetItemInt(kEditExposure, 77);
    view->SetItemInt(kEditGlobalGain, 9);
  });
  preview.join();
  WaitForPostedTasks(dialog.window);
  EXPECT_EQ(ItemText(page, kEditExposure), "77");
  EXPECT_EQ(camera.analog.Exposure, 77);
  EXPECT_EQ(camera.ExposureWrites(), (std::vector<std::uint16_t>{77}));
  EXPECT_EQ(TrackbarPosition(page, kTrackbarGlobal), 9);
  EXPECT_EQ(ItemText(page, kAnalogRows[4].edit), "9");  // the global gain sets the colour gains
  EXPECT_EQ(camera.analog.ColorG2, 9);
  EXPECT_EQ(dialog.Close(kButtonOk), 1);
  EXPECT_EQ(camera.analog.Global, 9);
  EXPECT_EQ(camera.analog.ColorR, 9);
}

}  // namespace
}  // namespace orvex::dialogs::testing
