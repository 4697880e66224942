// The dialog automation answers alike where the dialogs are headless models (Linux) and where
// they are real dialog boxes (Windows): what a person could do is done, what nobody could do is
// refused, and queries of what is not there say so.
#include <thread>

#include "integration_fixture.h"

namespace {

// Controls of the analog dialog and its page.
enum : int32_t {
  kCancel = 2,
  kTabs = 1001,
  kExposureTrackbar = 1026,
  kExposureEdit = 1027,
  kExposureUpDown = 1043,
  kMirrorCheck = 1029,    // hidden
  kAutoGainCheck = 1036,  // disabled
  kUnknown = 4242,
};

class DialogAutomationTest : public IntegrationTest {};

std::string Text(OrvexWindow window, int32_t id) {
  char text[64] = {};
  return OrvexPlatform_GetItemText(window, id, text, sizeof text) >= 0 ? text : "<none>";
}

TEST_F(DialogAutomationTest, DrivesTheAnalogDialogAsAPersonCouldAndRefusesWhatNobodyCould) {
  ASSERT_EQ(OrvexVirtualCamera_Attach(0), 1);
  const CameraHandle camera = Orvex_Initialize(window_);
  ASSERT_NE(camera, 0);
  ASSERT_EQ(Orvex_SetExposureTime(camera, 60), 1);
  int32_t result = -1;
  std::thread modal;
  const OrvexWindow dialog = OpenDialog(modal, [&] { result = Orvex_SetAnalogDlg(camera, 0); });
  ASSERT_NE(dialog, OrvexWindow{}) << "no dialog opened";
  const OrvexWindow page = OrvexPlatform_GetDialogPage(dialog, 0);
  EXPECT_NE(page, OrvexWindow{});

  int32_t position = 0, minimum = 0, maximum = 0, tick = 0, buddy = 0;
  EXPECT_EQ(
      OrvexPlatform_GetTrackbar(page, kExposureTrackbar, &position, &minimum, &maximum, &tick), 1);
  EXPECT_EQ((std::vector<int32_t>{position, minimum, maximum, tick}),
            (std::vector<int32_t>{60, 0, 255, 31}));
  EXPECT_EQ(OrvexPlatform_GetUpDown(page, kExposureUpDown, &position, &minimum, &maximum, &buddy),
            1);
  EXPECT_EQ((std::vector<int32_t>{position, minimum, maximum, buddy}),
            (std::vector<int32_t>{60, 0, 255, kExposureEdit}));

  // What a person does: the arrows step the buddy edit, a drag stays within the range.
  EXPECT_EQ(OrvexPlatform_ClickUpDown(page, kExposureUpDown, 1), 1);
  EXPECT_EQ(Text(page, kExposureEdit), "61");
  EXPECT_EQ(OrvexPlatform_ClickUpDown(page, kExposureUpDown, 0), 1);
  EXPECT_EQ(OrvexPlatform_ClickUpDown(page, kExposureUpDown, 0), 1);
  EXPECT_EQ(Text(page, kExposureEdit), "59");
  EXPECT_EQ(OrvexPlatform_MoveTrackbar(page, kExposureTrackbar, 300), 1);
  EXPECT_EQ(
      OrvexPlatform_GetTrackbar(page, kExposureTrackbar, &position, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(position, 255);

  char text[8];
  const struct {
    const char* what;
    int32_t got;
    int32_t expected;
  } cases[] = {
      {"letters typed into a digits-only edit",
       OrvexPlatform_SetItemText(page, kExposureEdit, "6a"), 0},
      {"a click on a disabled check box", OrvexPlatform_ClickItem(page, kAutoGainCheck), 0},
      {"a click on a hidden check box", OrvexPlatform_ClickItem(page, kMirrorCheck), 0},
      {"a click on a trackbar", OrvexPlatform_ClickItem(page, kExposureTrackbar), 0},
      {"a click on an unknown control", OrvexPlatform_ClickItem(page, kUnknown), 0},
      {"the dialog's button reached through the page", OrvexPlatform_ClickItem(page, kCancel), 0},
      {"a tab that does not exist", OrvexPlatform_SelectTab(dialog, kTabs, 1), 0},
      {"the tab already chosen", OrvexPlatform_SelectTab(dialog, kTabs, 0), 1},
      {"the text of a tab that does not exist",
       OrvexPlatform_GetTabText(dialog, kTabs, 1, text, sizeof text), -1},
      {"the text of an unknown control", OrvexPlatform_GetItemText(page, kUnknown, text, 8), -1},
      {"the check of an unknown control", OrvexPlatform_IsItemChecked(page, kUnknown), -1},
      {"the list count of a trackbar", OrvexPlatform_GetListCount(page, kExposureTrackbar), -1},
      {"a hidden control's own state", OrvexPlatform_IsItemVisible(page, kMirrorCheck), 0},
      {"a disabled control", OrvexPlatform_IsItemEnabled(page, kAutoGainCheck), 0},
      {"the template of a window that is no dialog", OrvexPlatform_GetTemplateId(window_), 0},
      {"a second page", OrvexPlatform_GetDialogPage(dialog, 1) != OrvexWindow{} ? 1 : 0, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;

  EXPECT_EQ(OrvexPlatform_ClickItem(dialog, kCancel), 1);
  modal.join();
  EXPECT_EQ(result, 1);
  EXPECT_EQ(OrvexPlatform_WaitForDialog(0), OrvexWindow{});
  EXPECT_EQ(Orvex_Release(camera), 1);
}

}  // namespace
