#include <gtest/gtest.h>

#include <string>

#include "dialog_test_support.h"
#include "dialogs/analog_dialog.h"
#include "dialogs/camera_dialog.h"
#include "dialogs/dialog_controls.h"
#include "dialogs/image_dialog.h"

namespace orvex::dialogs::testing {
namespace {

struct LanguageCase {
  std::int32_t languageId;
  std::int32_t camera, analog, analogPage, image, filterPage, grayPage;
  const char* title;
  const char* tab;
  const char* colorItem;  // ColorType 1
  const char* clockItem;  // clock 0
  const char* custom;
  const char* defaultButton;
};

class DialogLanguageTest : public DialogTest, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(DialogLanguageTest, PicksTheTemplatesAndTextsOfTheSystemLanguage) {
  const LanguageCase& c = GetParam();
  SetLanguage(c.languageId);
  camera.StoreSizeTable(1);
  char tab[64];
  {
    OpenDialog dialog([this] { return RunCameraDialog(camera, host, 0); });
    EXPECT_EQ(OrvexPlatform_GetTemplateId(dialog.window), c.camera);
    EXPECT_EQ(WindowText(dialog.window), c.title);
    OrvexPlatform_GetTabText(dialog.window, kTabControl, 0, tab, sizeof tab);
    EXPECT_STREQ(tab, c.tab);
    EXPECT_EQ(ListItems(dialog.window, kListColor).at(1), c.colorItem);
    EXPECT_EQ(ListItems(dialog.window, kListClock).at(0), c.clockItem);
    EXPECT_EQ(ListItems(dialog.window, kListSize).back(), c.custom);
    EXPECT_EQ(dialog.Close(kButtonCancel), 1);
  }
  {
    OpenDialog dialog([this] { return RunAnalogDialog(camera, host, 0); });
    EXPECT_EQ(OrvexPlatform_GetTemplateId(dialog.window), c.analog);
    EXPECT_EQ(OrvexPlatform_GetTemplateId(dialog.Page()), c.analogPage);
    OrvexPlatform_GetTabText(dialog.window, kTabControl, 0, tab, sizeof tab);
    EXPECT_STREQ(tab, "Analog Gain");
    EXPECT_EQ(ItemText(dialog.window, kButtonDefault), c.defaultButton);
    EXPECT_EQ(ItemText(dialog.Page(), kCheckAutoExposure), "Exposure");
    EXPECT_EQ(dialog.Close(kButtonCancel), 1);
  }
  {
    camera.format.Color = 0;
    OpenDialog dialog([this] { return RunImageDialog(camera, host, 0); });
    EXPECT_EQ(OrvexPlatform_GetTemplateId(dialog.window), c.image);
    EXPECT_EQ(OrvexPlatform_GetTemplateId(dialog.Page(0)), c.filterPage);
    EXPECT_EQ(OrvexPlatform_GetTemplateId(dialog.Page(1)), c.grayPage);
    OrvexPlatform_GetTabText(dialog.window, kTabControl, 1, tab, sizeof tab);
    EXPECT_STREQ(tab, "Gray Filter");
    EXPECT_EQ(ItemText(dialog.Page(1), kCheckAllFrames), "All frames");
    EXPECT_EQ(dialog.Close(kButtonCancel), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Languages, DialogLanguageTest,
    ::testing::Values(LanguageCase{1033, 106, 111, 110, 108, 107, 112, "Property", "Stream Format",
                                   "Monochrome 10bit *", "Nomal", "Custom", "Default(&D)"},
                      LanguageCase{1041, 101, 104, 105, 102, 103, 113, "プロパティ",
                                   "ストリーム形式", "白黒 10bit ※", "標準", "カスタム",
                                   "規定値(&D)"},
                      LanguageCase{2052, 106, 111, 110, 108, 107, 112, "Property", "Stream Format",
                                   "Monochrome 10bit *", "Nomal", "Custom", "Default(&D)"}),
    [](const ::testing::TestParamInfo<LanguageCase>& info) {
      return "Language" + std::to_string(info.param.languageId);
    });

TEST_F(DialogTest, WithoutADeviceLinkNoDialogOpensAndNothingChanges) {
  camera.hasDeviceLink = false;
  camera.state = kPreviewing;
  camera.analog.Global = 5;
  EXPECT_EQ(RunCameraDialog(camera, host, 0), 0);
  EXPECT_EQ(RunAnalogDialog(camera, host, 0), 0);
  EXPECT_EQ(RunImageDialog(camera, host, 0), 0);
  EXPECT_EQ(camera.Errors(), (std::vector<std::int32_t>{1, 1, 1}));
  EXPECT_TRUE(camera.Calls().empty());
  EXPECT_EQ(camera.analog.Global, 5);
  EXPECT_EQ(OrvexPlatform_WaitForDialog(0), OrvexWindow{});
}

}  // namespace
}  // namespace orvex::dialogs::testing
