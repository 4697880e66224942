#include "dialogs/dialog_templates.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "dialogs/dialog_controls.h"
#include "dialogs/resource_script.h"

namespace orvex::dialogs {
namespace {

using platform::ControlKind;
using platform::ControlTemplate;
using platform::DialogTemplate;
namespace style = platform::control_style;

// One CONTROL statement of a resource script.
struct ScriptControl {
  std::string text;
  int id = 0;
  std::string windowClass;
  std::set<std::string> styles;
  int x = 0, y = 0, width = 0, height = 0;
};

struct ScriptDialog {
  int width = 0, height = 0;
  std::string style, caption, font;
  std::vector<ScriptControl> controls;
};

// Reads a quoted resource string at `at`, where a doubled quote stands for one.
std::string Unquote(const std::string& line, std::size_t& at) {
  std::string text;
  for (++at; at < line.size(); ++at) {
    if (line[at] == '"') {
      if (at + 1 < line.size() && line[at + 1] == '"') {
        text += '"';
        ++at;
        continue;
      }
      ++at;
      break;
    }
    text += line[at];
  }
  return text;
}

std::vector<std::string> SplitFields(const std::string& rest) {
  std::vector<std::string> fields;
  std::stringstream in(rest);
  for (std::string field; std::getline(in, field, ',');) {
    const auto first = field.find_first_not_of(' ');
    fields.push_back(first == std::string::npos ? "" : field.substr(first));
  }
  return fields;
}

ScriptControl ParseControl(const std::string& line) {
  ScriptControl control;
  std::size_t at = line.find('"');
  control.text = Unquote(line, at);
  std::vector<std::string> fields = SplitFields(line.substr(at));
  // fields: "", id, "class", styles, x, y, width, height
  EXPECT_EQ(fields.size(), 8u) << line;
  if (fields.size() != 8) return control;
  control.id = std::stoi(fields[1]);
  std::size_t classAt = 0;
  control.windowClass = Unquote(fields[2], classAt);
  std::stringstream styles(fields[3]);
  for (std::string token; std::getline(styles, token, '|');) {
    token.erase(0, token.find_first_not_of(' '));
    token.erase(token.find_last_not_of(' ') + 1);
    control.styles.insert(token);
  }
  control.x = std::stoi(fields[4]);
  control.y = std::stoi(fields[5]);
  control.width = std::stoi(fields[6]);
  control.height = std::stoi(fields[7]);
  return control;
}

std::map<int, ScriptDialog> ParseScript(const std::string& script) {
  std::map<int, ScriptDialog> dialogs;
  std::stringstream in(script);
  ScriptDialog* current = nullptr;
  for (std::string line; std::getline(in, line);) {
    int id = 0, width = 0, height = 0;
    if (std::sscanf(line.c_str(), "%d DIALOGEX 0, 0, %d, %d", &id, &width, &height) == 3) {
      current = &dialogs[id];
      current->width = width;
      current->height = height;
    } else if (current == nullptr) {
      continue;
    } else if (line.rfind("STYLE ", 0) == 0) {
      current->style = line.substr(6);
    } else if (line.rfind("CAPTION ", 0) == 0) {
      std::size_t at = line.find('"');
      current->caption = Unquote(line, at);
    } else if (line.rfind("FONT ", 0) == 0) {
      current->font = line.substr(5);
    } else if (line.rfind("    CONTROL ", 0) == 0) {
      current->controls.push_back(ParseControl(line));
    }
  }
  return dialogs;
}

// What the common controls call each kind, and the styles that make it that kind.
std::pair<std::string, std::set<std::string>> Expected(const ControlTemplate& control) {
  const bool isDefault = (control.style & style::kDefault) != 0;
  switch (control.kind) {
    case ControlKind::PushButton:
      return {"Button", {isDefault ? "BS_DEFPUSHBUTTON" : "BS_PUSHBUTTON", "WS_TABSTOP"}};
    case ControlKind::CheckBox:
      return {"Button", {"BS_AUTOCHECKBOX", "WS_TABSTOP"}};
    case ControlKind::RadioButton:
      if ((control.style & style::kGroup) != 0) {
        return {"Button", {"BS_AUTORADIOBUTTON", "WS_TABSTOP"}};
      }
      return {"Button", {"BS_AUTORADIOBUTTON"}};
    case ControlKind::GroupBox:
      return {"Button", {"BS_GROUPBOX"}};
    case ControlKind::Label:
      return {"Static", {"SS_LEFT"}};
    case ControlKind::Edit:
      return {"Edit", {"ES_AUTOHSCROLL", "WS_BORDER", "WS_TABSTOP"}};
    case ControlKind::DropDownList:
      return {"ComboBox", {"CBS_DROPDOWNLIST", "WS_VSCROLL", "WS_TABSTOP"}};
    case ControlKind::Trackbar:
      return {"msctls_trackbar32", {"TBS_HORZ", "TBS_AUTOTICKS", "WS_TABSTOP"}};
    case ControlKind::UpDown:
      return {"msctls_updown32", {"UDS_SETBUDDYINT", "UDS_ARROWKEYS", "UDS_NOTHOUSANDS"}};
    case ControlKind::TabControl:
      return {"SysTabControl32", {"WS_TABSTOP"}};
  }
  return {};
}

TEST(ResourceScriptTest, TheGeneratedScriptHoldsExactlyTheTable) {
  std::ifstream file(ORVEX_DIALOG_RC, std::ios::binary);
  ASSERT_TRUE(file) << ORVEX_DIALOG_RC;
  const std::string script((std::istreambuf_iterator<char>(file)), {});
  EXPECT_EQ(script, WriteResourceScript(DialogTemplates()));  // the build's script is current
  EXPECT_EQ(script.rfind("#pragma code_page(65001)\n", 0), 0u);

  const std::map<int, ScriptDialog> dialogs = ParseScript(script);
  ASSERT_EQ(dialogs.size(), DialogTemplates().size());
  for (const DialogTemplate& dialog : DialogTemplates()) {
    SCOPED_TRACE(::testing::Message() << "template " << dialog.id);
    ASSERT_EQ(dialogs.count(dialog.id), 1u);
    const ScriptDialog& written = dialogs.at(dialog.id);
    EXPECT_EQ(written.width, dialog.width);
    EXPECT_EQ(written.height, dialog.height);
    EXPECT_EQ(written.font, "8, \"MS Shell Dlg\", 400, 0, 0x1");
    if (dialog.page) {
      EXPECT_NE(written.style.find("WS_CHILD"), std::string::npos);
      EXPECT_TRUE(written.caption.empty());
    } else {
      EXPECT_NE(written.style.find("WS_CAPTION"), std::string::npos);
      EXPECT_EQ(written.caption, dialog.title);
    }
    ASSERT_EQ(written.controls.size(), dialog.controls.size());
    for (std::size_t i = 0; i < dialog.controls.size(); ++i) {
      const ControlTemplate& control = dialog.controls[i];
      const ScriptControl& line = written.controls[i];
      SCOPED_TRACE(::testing::Message() << "control " << i << " id " << control.id);
      auto [windowClass, styles] = Expected(control);
      if ((control.style & style::kReadOnly) != 0) styles.insert("ES_READONLY");
      if ((control.style & style::kDigitsOnly) != 0) styles.insert("ES_NUMBER");
      if ((control.style & style::kGroup) != 0) styles.insert("WS_GROUP");
      if ((control.style & style::kDisabled) != 0) styles.insert("WS_DISABLED");
      if ((control.style & style::kHidden) != 0) styles.insert("NOT WS_VISIBLE");
      EXPECT_EQ(line.text, control.text);
      EXPECT_EQ(line.id, control.id);
      EXPECT_EQ(line.windowClass, windowClass);
      EXPECT_EQ(line.styles, styles);
      EXPECT_EQ(line.x, control.x);
      EXPECT_EQ(line.y, control.y);
      EXPECT_EQ(line.width, control.width);
      EXPECT_EQ(line.height, control.height);
    }
  }
}

TEST(ResourceScriptTest, QuotesAreDoubledAndBackslashesEscaped) {
  const ControlTemplate controls[] = {{7, ControlKind::Label, 0, 1, 2, 3, 4, "say \"hi\" \\ あ"}};
  const DialogTemplate dialog = {200, true, "", "MS Shell Dlg", 8, 10, 10, controls};
  const std::string script = WriteResourceScript({&dialog, 1});
  EXPECT_NE(script.find("CONTROL \"say \"\"hi\"\" \\\\ あ\", 7, \"Static\""), std::string::npos)
      << script;
}

// Each language's template of a dialog has the same controls in the same places.
void ExpectSameControls(const DialogTemplate& a, const DialogTemplate& b, bool sameTexts) {
  ASSERT_EQ(a.controls.size(), b.controls.size());
  EXPECT_EQ(a.height, b.height);
  for (std::size_t i = 0; i < a.controls.size(); ++i) {
    const ControlTemplate& x = a.controls[i];
    const ControlTemplate& y = b.controls[i];
    EXPECT_EQ(x.id, y.id);
    EXPECT_EQ(x.kind, y.kind);
    EXPECT_EQ(x.style, y.style);
    EXPECT_EQ(std::tie(x.x, x.y, x.width, x.height), std::tie(y.x, y.y, y.width, y.height));
    if (sameTexts) {
      EXPECT_STREQ(x.text, y.text);
    }
  }
}

bool HasControl(const DialogTemplate& dialog, std::int32_t id, ControlKind kind) {
  for (const ControlTemplate& control : dialog.controls) {
    if (control.id == id) return control.kind == kind;
  }
  return false;
}

bool HasText(const DialogTemplate& dialog, const std::string& text) {
  for (const ControlTemplate& control : dialog.controls) {
    if (text == control.text) return true;
  }
  return false;
}

TEST(DialogTemplatesTest, SizesLanguagesAndTheControlsTheProceduresAddress) {
  const auto find = [](std::int32_t id) -> const DialogTemplate& {
    const DialogTemplate* dialog = FindDialogTemplate(id);
    EXPECT_NE(dialog, nullptr) << id;
    static const DialogTemplate none{};
    return dialog != nullptr ? *dialog : none;
  };
  EXPECT_EQ(FindDialogTemplate(109), nullptr);
  for (const TemplateIds ids : {kCameraDialog, kAnalogDialog, kImageDialog}) {
    EXPECT_EQ(find(ids.english).title, std::string("Property"));
    EXPECT_EQ(find(ids.japanese).title, std::string("プロパティ"));
    ExpectSameControls(find(ids.english), find(ids.japanese), false);
    EXPECT_TRUE(HasText(find(ids.japanese), "キャンセル"));
  }
  for (const TemplateIds ids : {kAnalogPage, kImageFilterPage, kGrayFilterPage}) {
    ExpectSameControls(find(ids.english), find(ids.japanese), true);
  }
  const std::pair<TemplateIds, std::pair<int, int>> sizes[] = {
      {kCameraDialog, {313, 229}}, {kAnalogDialog, {294, 178}}, {kImageDialog, {294, 194}}};
  for (const auto& [ids, size] : sizes) {
    EXPECT_EQ(find(ids.english).width, size.first);
    EXPECT_EQ(find(ids.english).height, size.second);
  }
  EXPECT_EQ(find(kAnalogPage.english).width, 238);
  EXPECT_EQ(find(kAnalogPage.japanese).width, 251);
  EXPECT_TRUE(HasText(find(kCameraDialog.japanese),
                      "※WORD転送モードの際は動作クロックをハーフに設定してください"));
  EXPECT_TRUE(HasText(find(kImageDialog.japanese), "規定値(&D)"));
  EXPECT_TRUE(HasText(find(kCameraDialog.english), "Color / Compression(&C):"));

  const DialogTemplate& camera = find(kCameraDialog.english);
  for (const std::int32_t list : {kListColor, kListSize, kListSubSample, kListClock}) {
    EXPECT_TRUE(HasControl(camera, list, ControlKind::DropDownList)) << list;
  }
  for (const std::int32_t edit : kGeometryEdits) {
    EXPECT_TRUE(HasControl(camera, edit, ControlKind::Edit)) << edit;
  }
  const std::pair<TemplateIds, std::span<const SliderRow>> pages[] = {
      {kAnalogPage, kAnalogRows},
      {kImageFilterPage, kImageFilterRows},
      {kGrayFilterPage, kGrayFilterRows}};
  for (const auto& [ids, rows] : pages) {
    for (const SliderRow& row : rows) {
      const DialogTemplate& page = find(ids.english);
      EXPECT_TRUE(HasControl(page, row.trackbar, ControlKind::Trackbar)) << row.trackbar;
      EXPECT_TRUE(HasControl(page, row.edit, ControlKind::Edit)) << row.edit;
      EXPECT_TRUE(HasControl(page, row.upDown, ControlKind::UpDown)) << row.upDown;
      EXPECT_TRUE(HasText(page, row.label)) << row.label;
    }
  }
}

}  // namespace
}  // namespace orvex::dialogs
