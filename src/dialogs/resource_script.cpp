#include "dialogs/resource_script.h"

#include <string_view>

namespace orvex::dialogs {
namespace {

using platform::ControlKind;
using platform::ControlTemplate;
using platform::DialogTemplate;
namespace style = platform::control_style;

// A quoted resource string: a quote is written twice, a backslash escaped.
std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    if (c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + '"';
}

const char* WindowClass(ControlKind kind) {
  switch (kind) {
    case ControlKind::PushButton:
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
    case ControlKind::GroupBox:
      return "Button";
    case ControlKind::Label:
      return "Static";
    case ControlKind::Edit:
      return "Edit";
    case ControlKind::DropDownList:
      return "ComboBox";
    case ControlKind::Trackbar:
      return "msctls_trackbar32";
    case ControlKind::UpDown:
      return "msctls_updown32";
    case ControlKind::TabControl:
      return "SysTabControl32";
  }
  return "Static";
}

// The window styles of a control: its class's own, then the common ones the template asks for.
std::string Styles(const ControlTemplate& control) {
  std::string styles;
  const auto add = [&](std::string_view name) {
    if (!styles.empty()) styles += " | ";
    styles += name;
  };
  const bool isDefault = (control.style & style::kDefault) != 0;
  switch (control.kind) {
    case ControlKind::PushButton:
      add(isDefault ? "BS_DEFPUSHBUTTON" : "BS_PUSHBUTTON");
      add("WS_TABSTOP");
      break;
    case ControlKind::CheckBox:
      add("BS_AUTOCHECKBOX");
      add("WS_TABSTOP");
      break;
    case ControlKind::RadioButton:
      add("BS_AUTORADIOBUTTON");
      // The keyboard enters a group of radio buttons at its first.
      if ((control.style & style::kGroup) != 0) add("WS_TABSTOP");
      break;
    case ControlKind::GroupBox:
      add("BS_GROUPBOX");
      break;
    case ControlKind::Label:
      add("SS_LEFT");
      break;
    case ControlKind::Edit:
      add("ES_AUTOHSCROLL");
      if ((control.style & style::kReadOnly) != 0) add("ES_READONLY");
      if ((control.style & style::kDigitsOnly) != 0) add("ES_NUMBER");
      add("WS_BORDER");
      add("WS_TABSTOP");
      break;
    case ControlKind::DropDownList:
      add("CBS_DROPDOWNLIST");
      add("WS_VSCROLL");
      add("WS_TABSTOP");
      break;
    case ControlKind::Trackbar:
      add("TBS_HORZ");
      add("TBS_AUTOTICKS");
      add("WS_TABSTOP");
      break;
    case ControlKind::UpDown:
      add("UDS_SETBUDDYINT");
      add("UDS_ARROWKEYS");
      add("UDS_NOTHOUSANDS");
      break;
    case ControlKind::TabControl:
      add("WS_TABSTOP");
      break;
  }
  if ((control.style & style::kGroup) != 0) add("WS_GROUP");
  if ((control.style & style::kDisabled) != 0) add("WS_DISABLED");
  if ((control.style & style::kHidden) != 0) add("NOT WS_VISIBLE");
  return styles;
}

void WriteDialog(std::string& script, const DialogTemplate& dialog) {
  const auto number = [](auto value) { return std::to_string(value); };
  script += number(dialog.id) + " DIALOGEX 0, 0, " + number(dialog.width) + ", " +
            number(dialog.height) + "\n";
  if (dialog.page) {
    script += "STYLE DS_SETFONT | DS_FIXEDSYS | DS_CONTROL | WS_CHILD\n";
  } else {
    script +=
        "STYLE DS_SETFONT | DS_MODALFRAME | DS_FIXEDSYS | WS_POPUP | WS_CAPTION | WS_SYSMENU\n";
    script += "CAPTION " + Quoted(dialog.title) + "\n";
  }
  script += "FONT " + number(dialog.pointSize) + ", " + Quoted(dialog.fontName) + ", 400, 0, 0x1\n";
  script += "BEGIN\n";
  for (const ControlTemplate& control : dialog.controls) {
    script += "    CONTROL " + Quoted(control.text) + ", " + number(control.id) + ", " +
              Quoted(WindowClass(control.kind)) + ", " + Styles(control) + ", " +
              number(control.x) + ", " + number(control.y) + ", " + number(control.width) + ", " +
              number(control.height) + "\n";
  }
  script += "END\n\n";
}

}  // namespace

std::string WriteResourceScript(std::span<const DialogTemplate> templates) {
  // windres reads the script as UTF-8 only when told so on its first line.
  std::string script =
      "#pragma code_page(65001)\n"
      "// Generated from the dialog template table (src/dialogs/dialog_templates.cpp) at build\n"
      "// time: edit the table, not this file.\n"
      "#include <windows.h>\n"
      "#include <commctrl.h>\n\n";
  for (const DialogTemplate& dialog : templates) WriteDialog(script, dialog);
  return script;
}

}  // namespace orvex::dialogs
