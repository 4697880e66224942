#include "dialogs/camera_dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "dialog_test_support.h"
#include "dialogs/dialog_controls.h"

namespace orvex::dialogs::testing {
namespace {

class CameraDialogTest : public DialogTest {
 protected:
  OpenDialog Open() {
    return OpenDialog([this] { return RunCameraDialog(camera, host, 0); });
  }
  bool ApplyEnabled(const OpenDialog& dialog) {
    return OrvexPlatform_IsItemEnabled(dialog.window, kButtonApply) == 1;
  }
};

TEST_F(CameraDialogTest, ShowsTheStoredTableAndFormatWithApplyDisabled) {
  camera.StoreSizeTable(2, /*size=*/1, /*color=*/3, 0, /*waitTime=*/25);
  OpenDialog dialog = Open();
  ASSERT_NE(dialog.window, OrvexWindow{});
  EXPECT_EQ(ListItems(dialog.window, kListSize),
            (std::vector<std::string>{"100 x 50", "101 x 51", "Custom"}));
  EXPECT_EQ(OrvexPlatform_GetListSelection(dialog.window, kListSize), 1);
  EXPECT_EQ(OrvexPlatform_GetListSelection(dialog.window, kListColor), 3);
  EXPECT_EQ(ItemText(dialog.window, kGeometryEdits[2]), "101");
  EXPECT_EQ(ItemText(dialog.window, kEditWaitTime), "25");
  EXPECT_FALSE(ApplyEnabled(dialog));
  EXPECT_EQ(OrvexPlatform_ClickItem(dialog.window, kButtonApply), 0);
  EXPECT_EQ(dialog.Close(kButtonCancel), 1);
}

TEST_F(CameraDialogTest, ApplyIsEnabledByAnyChangeAndDisabledAfterEveryApply) {
  camera.StoreSizeTable(2);
  OpenDialog dialog = Open();
  ASSERT_EQ(OrvexPlatform_SetItemText(dialog.window, kEditWaitTime, "33"), 1);
  EXPECT_TRUE(ApplyEnabled(dialog));
  ASSERT_EQ(OrvexPlatform_ClickItem(dialog.window, kButtonApply), 1);
  EXPECT_FALSE(ApplyEnabled(dialog));
  EXPECT_EQ(camera.Stored("", "WaitTime"), 33);

  ASSERT_EQ(OrvexPlatform_SelectListItem(dialog.window, kListColor, 0), 1);
  EXPECT_TRUE(ApplyEnabled(dialog));
  ASSERT_EQ(OrvexPlatform_ClickItem(dialog.window, kButtonApply), 1);
  EXPECT_FALSE(ApplyEnabled(dialog));
  EXPECT_EQ(camera.Stored("", "Color"), 0);

  // Cancel after Apply: the store keeps what was applied, the context never reloads it.
  EXPECT_EQ(dialog.Close(kButtonCancel), 1);
  EXPECT_EQ(camera.Stored("", "WaitTime"), 33);
  EXPECT_EQ(camera.format.WaitTime, 10);
  EXPECT_TRUE(camera.Calls().empty());
}

TEST_F(CameraDialogTest, CustomAndApplyAddsAnEntryAboveCustom) {
  camera.StoreSizeTable(2);
  OpenDialog dialog = Open();
  ASSERT_EQ(OrvexPlatform_SelectListItem(dialog.window, kListSize, 2), 1);
  // "Custom" keeps the shown entry in the edits; the totals cannot be typed.
  EXPECT_EQ(ItemText(dialog.window, kGeometryEdits[2]), "100");
  EXPECT_EQ(OrvexPlatform_SetItemText(dialog.window, kGeometryEdits[0], "9"), 0);
  OrvexPlatform_SetItemText(dialog.window, kGeometryEdits[2], "640");
  OrvexPlatform_SetItemText(dialog.window, kGeometryEdits[3], "480");
  OrvexPlatform_SetItemText(dialog.window, kGeometryEdits[4], "7");
  ASSERT_EQ(OrvexPlatform_ClickItem(dialog.window, kButtonApply), 1);

  EXPECT_EQ(ListItems(dialog.window, kListSize),
            (std::vector<std::string>{"100 x 50", "101 x 51", "640 x 480", "Custom"}));
  EXPECT_EQ(OrvexPlatform_GetListSelection(dialog.window, kListSize), 2);
  EXPECT_EQ(camera.Stored("Size_02", "TH"), 1320);
  EXPECT_EQ(camera.Stored("Size_02", "EH"), 640);
  EXPECT_EQ(camera.Stored("Size_02", "EV"), 480);
  EXPECT_EQ(camera.Stored("Size_02", "EHS"), 7);
  EXPECT_EQ(camera.Stored("Size_02", "Buf"), 10);
  EXPECT_EQ(camera.Stored("", "Size"), 2);
  EXPECT_EQ(dialog.Close(kButtonCancel), 1);
}

TEST_F(CameraDialogTest, ChangingAnEntryRewritesItAndOkMakesTheContextReloadIt) {
  camera.StoreSizeTable(2, /*size=*/1);
  OpenDialog dialog = Open();
  OrvexPlatform_SetItemText(dialog.window, kGeometryEdits[2], "800");
  ASSERT_EQ(OrvexPlatform_ClickItem(dialog.window, kButtonApply), 1);
  EXPECT_EQ(ListItems(dialog.window, kListSize)[1], "800 x 51");
  EXPECT_EQ(OrvexPlatform_GetListSelection(dialog.window, kListSize), 1);
  OrvexPlatform_SetItemText(dialog.window, kGeometryEdits[3], "600");
  EXPECT_EQ(dialog.Close(kButtonOk), 1);

  EXPECT_EQ(camera.Stored("Size_01", "EH"), 800);
  EXPECT_EQ(camera.Stored("Size_01", "EV"), 600);
  EXPECT_EQ(camera.Stored("Size_01", "Buf"), 20);  // never shown, kept
  EXPECT_EQ(camera.Calls(), (std::vector<std::string>{"LoadSizeSettings", "LoadFormatSettings"}));
  EXPECT_EQ(camera.geometry.EH, 800);
  EXPECT_EQ(camera.geometry.EV, 600);
  EXPECT_EQ(camera.format.Color, 2);
}

TEST_F(CameraDialogTest, CustomWithAFullTableIsRefusedAndNothingIsWritten) {
  camera.StoreSizeTable(settings::kMaxSizeEntries, /*size=*/99);
  OpenDialog dialog = Open();
  ASSERT_EQ(OrvexPlatform_SelectListItem(dialog.window, kListSize, 100), 1);
  OrvexPlatform_SetItemText(dialog.window, kGeometryEdits[2], "640");
  OrvexPlatform_SetItemText(dialog.window, kEditWaitTime, "50");
  EXPECT_EQ(OrvexPlatform_ClickItem(dialog.window, kButtonApply), 1);
  EXPECT_TRUE(ApplyEnabled(dialog));
  EXPECT_EQ(OrvexPlatform_ClickItem(dialog.window, kButtonOk), 1);
  EXPECT_EQ(OrvexPlatform_IsWindow(dialog.window), 1);  // still open
  EXPECT_EQ(OrvexPlatform_GetListCount(dialog.window, kListSize), 101);
  EXPECT_EQ(camera.Stored("Size_99", "EH"), 199);
  EXPECT_EQ(camera.Stored("", "WaitTime"), 10);
  EXPECT_EQ(camera.Stored("", "Size"), 99);
  EXPECT_EQ(dialog.Close(kButtonCancel), 1);
  EXPECT_TRUE(camera.Calls().empty());
}

TEST_F(CameraDialogTest, DisabledListsAreWrittenBackUnchanged) {
  // Clock 5 has no item in its list: the list shows no selection, and the stored value stays.
  camera.StoreSizeTable(1, 0, 2, /*subSample=*/1, 10, /*clock=*/5);
  OpenDialog dialog = Open();
  EXPECT_EQ(OrvexPlatform_IsItemEnabled(dialog.window, kListSubSample), 0);
  EXPECT_EQ(OrvexPlatform_IsItemEnabled(dialog.window, kListClock), 0);
  EXPECT_EQ(OrvexPlatform_SelectListItem(dialog.window, kListSubSample, 0), 0);
  EXPECT_EQ(ListItems(dialog.window, kListClock), (std::vector<std::string>{"Nomal", "Half"}));
  EXPECT_EQ(OrvexPlatform_GetListSelection(dialog.window, kListClock), -1);
  OrvexPlatform_SelectListItem(dialog.window, kListColor, 4);
  EXPECT_EQ(dialog.Close(kButtonOk), 1);
  EXPECT_EQ(camera.Stored("", "Color"), 4);
  EXPECT_EQ(camera.Stored("", "SubSample"), 1);
  EXPECT_EQ(camera.Stored("", "Clock"), 5);
}

TEST_F(CameraDialogTest, WithoutAStoreOnlyCustomIsOfferedOverZeros) {
  OpenDialog dialog = Open();
  EXPECT_EQ(ListItems(dialog.window, kListSize), (std::vector<std::string>{"Custom"}));
  EXPECT_EQ(ItemText(dialog.window, kGeometryEdits[0]), "0");
  OrvexPlatform_SetItemText(dialog.window, kGeometryEdits[2], "320");
  OrvexPlatform_SetItemText(dialog.window, kGeometryEdits[3], "240");
  EXPECT_EQ(dialog.Close(kButtonOk), 1);
  EXPECT_EQ(camera.Stored("Size_00", "EH"), 320);
  EXPECT_EQ(camera.Stored("", "Size"), 0);
  EXPECT_EQ(camera.geometry.EH, 320);
}

TEST_F(CameraDialogTest, APausedAcquisitionRunsAgainWhateverButtonClosed) {
  camera.StoreSizeTable(1);
  const std::vector<std::tuple<std::int32_t, std::int32_t, const char*>> cases = {
      {kPreviewing, kButtonOk, "StartPreview"},
      {kPreviewing, kButtonCancel, "StartPreview"},
      {kCapturing, kButtonOk, "Capture"},
      {kCapturing, kButtonCancel, "Capture"},
      {kIdle, kButtonOk, nullptr}};
  for (const auto& [state, button, restart] : cases) {
    SCOPED_TRACE(::testing::Message() << "state " << state << ", button " << button);
    FakeCamera paused;
    paused.registry.SetValue(settings::kMainKey, "Size", 0);
    paused.state = state;
    OpenDialog dialog([&] { return RunCameraDialog(paused, host, 0); });
    // Stopped before the dialog shows.
    EXPECT_EQ(paused.state, kIdle);
    EXPECT_EQ(dialog.Close(button), 1);
    std::vector<std::string> calls = paused.Calls();
    if (restart == nullptr) {
      EXPECT_EQ(paused.state, kIdle);
      EXPECT_EQ(std::count(calls.begin(), calls.end(), "PauseAcquisition"), 0);
    } else {
      ASSERT_FALSE(calls.empty());
      EXPECT_EQ(calls.front(), "PauseAcquisition");
      EXPECT_EQ(calls.back(), restart);
      EXPECT_EQ(paused.state, state);
    }
  }
}

}  // namespace
}  // namespace orvex::dialogs::testing
