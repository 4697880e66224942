#include "dialogs/dialog_templates.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "dialogs/dialog_controls.h"

namespace orvex::dialogs {
namespace {

using platform::ControlKind;
using platform::ControlTemplate;
using platform::DialogTemplate;
namespace style = platform::control_style;

// A control as laid out once for both languages.
struct Item {
  std::int32_t id;
  ControlKind kind;
  std::uint32_t style;
  std::int16_t x, y, width, height;
  LocalText text;
};

// A dialog or page in both languages. The Japanese template has the same controls in the same
// places; only its texts (and for one page its width) differ.
struct Layout {
  TemplateIds ids;
  bool page;
  LocalText title;
  std::int16_t width;
  std::int16_t japaneseWidth;
  std::int16_t height;
  std::vector<Item> items;
};

LocalText Same(const char* text) {
  return {text, text};
}

Item Label(std::int16_t x, std::int16_t y, std::int16_t width, std::int16_t height,
           LocalText text) {
  return {platform::kNoControlId, ControlKind::Label, 0, x, y, width, height, text};
}
Item GroupBox(std::int16_t x, std::int16_t y, std::int16_t width, std::int16_t height,
              LocalText text) {
  return {platform::kNoControlId, ControlKind::GroupBox, 0, x, y, width, height, text};
}
Item Control(std::int32_t id, ControlKind kind, std::uint32_t controlStyle, std::int16_t x,
             std::int16_t y, std::int16_t width, std::int16_t height, LocalText text = Same("")) {
  return {id, kind, controlStyle, x, y, width, height, text};
}

// Where the parts of a slider group go, relative to the row's top.
struct SliderPlaces {
  std::int16_t labelX, labelWidth, trackbarX, trackbarWidth, editX, editWidth;
  std::int16_t height;
};

void AddSliderRow(std::vector<Item>& items, const SliderRow& row, const SliderPlaces& at,
                  std::int16_t y, std::uint32_t editStyle) {
  items.push_back(Label(at.labelX, y + 3, at.labelWidth, 8, Same(row.label)));
  items.push_back(Control(row.trackbar, ControlKind::Trackbar, 0, at.trackbarX, y, at.trackbarWidth,
                          at.height));
  items.push_back(
      Control(row.edit, ControlKind::Edit, editStyle, at.editX, y + 1, at.editWidth, 12));
  items.push_back(
      Control(row.upDown, ControlKind::UpDown, 0, at.editX + at.editWidth, y + 1, 10, 12));
}

// Bottom right of a main dialog: OK, Cancel and a third button, 50 x 14 units each.
void AddButtons(std::vector<Item>& items, std::int16_t dialogWidth, std::int16_t y, LocalText third,
                std::int32_t thirdId) {
  const std::int16_t right = dialogWidth - 7;
  items.push_back(Control(kButtonOk, ControlKind::PushButton, style::kDefault, right - 162, y, 50,
                          14, Same("OK")));
  items.push_back(Control(kButtonCancel, ControlKind::PushButton, 0, right - 106, y, 50, 14,
                          {"Cancel", "キャンセル"}));
  items.push_back(Control(thirdId, ControlKind::PushButton, 0, right - 50, y, 50, 14, third));
}

constexpr LocalText kProperty = {"Property", "プロパティ"};
constexpr LocalText kDefault = {"Default(&D)", "規定値(&D)"};

Layout CameraDialog() {
  Layout layout{kCameraDialog, false, kProperty, 313, 313, 229, {}};
  auto& items = layout.items;
  items.push_back(GroupBox(15, 24, 283, 62, {"Video Format", "ビデオ形式"}));
  items.push_back(Label(23, 38, 95, 8, {"Color / Compression(&C):", "色空間 / 圧縮(&C):"}));
  items.push_back(Control(kListColor, ControlKind::DropDownList, 0, 120, 36, 170, 80));
  items.push_back(Label(23, 54, 95, 8, {"Size(&S):", "出力サイズ(&S):"}));
  items.push_back(Control(kListSize, ControlKind::DropDownList, 0, 120, 52, 170, 120));
  items.push_back(Label(23, 70, 95, 8, {"Sub Sample(&B):", "間引き転送モード(&B):"}));
  items.push_back(
      Control(kListSubSample, ControlKind::DropDownList, style::kDisabled, 120, 68, 170, 40));

  items.push_back(GroupBox(15, 90, 283, 58, {"Camera Size", "カスタムサイズ"}));
  const LocalText labels[6] = {{"H Total", "総水平画素"},       {"V Total", "総垂直画素"},
                               {"H Effective", "有効水平画素"}, {"V Effective", "有効垂直画素"},
                               {"H Start", "有効水平起点"},     {"V Start", "有効垂直起点"}};
  for (std::size_t i = 0; i < kGeometryEdits.size(); ++i) {
    const auto y = static_cast<std::int16_t>(102 + 14 * (i / 2));
    const std::int16_t x = i % 2 == 0 ? 23 : 160;
    // The totals are shown, never typed.
    const std::uint32_t editStyle = i < 2 ? style::kReadOnly : 0;
    items.push_back(Label(x, y + 2, 60, 8, labels[i]));
    items.push_back(Control(kGeometryEdits[i], ControlKind::Edit, editStyle, x + 62, y, 60, 12));
  }

  items.push_back(GroupBox(15, 152, 283, 30, {"Frame Rate", "フレームレート"}));
  items.push_back(Label(23, 166, 95, 8, {"Wait Time(&T):", "フレーム間待ち時間(&T):"}));
  items.push_back(Control(kEditWaitTime, ControlKind::Edit, 0, 120, 164, 40, 12));
  items.push_back(Label(170, 166, 66, 8, {"Clock(&C):", "動作クロック(&C):"}));
  items.push_back(
      Control(kListClock, ControlKind::DropDownList, style::kDisabled, 238, 164, 52, 40));
  items.push_back(Label(15, 186, 283, 10,
                        {"* In the WORD forwarding mode, please set the clock to the half.",
                         "※WORD転送モードの際は動作クロックをハーフに設定してください"}));
  AddButtons(items, layout.width, 208, {"Apply(&A)", "適用(&A)"}, kButtonApply);
  // Last, so that it lies below the controls drawn over it.
  items.push_back(Control(kTabControl, ControlKind::TabControl, 0, 7, 7, 299, 194));
  return layout;
}

// A main dialog whose tab control holds the pages; buttons OK, Cancel and Default.
Layout TabbedDialog(TemplateIds ids, std::int16_t height) {
  Layout layout{ids, false, kProperty, 294, 294, height, {}};
  layout.items.push_back(Control(kTabControl, ControlKind::TabControl, 0, 7, 7, 280, height - 32));
  AddButtons(layout.items, layout.width, height - 21, kDefault, kButtonDefault);
  return layout;
}

Layout AnalogPage() {
  Layout layout{kAnalogPage, true, Same(""), 238, 251, 118, {}};
  auto& items = layout.items;
  const SliderPlaces places{6, 58, 66, 120, 190, 30, 14};
  for (std::size_t i = 0; i < kAnalogRows.size(); ++i) {
    AddSliderRow(items, kAnalogRows[i], places, static_cast<std::int16_t>(6 + 16 * i),
                 style::kDigitsOnly);
  }
  items.push_back(Label(6, 105, 40, 8, Same("Auto Iris")));
  items.push_back(Control(kCheckAutoGain, ControlKind::CheckBox, style::kDisabled, 50, 104, 40, 10,
                          Same("Gain")));
  items.push_back(
      Control(kCheckAutoExposure, ControlKind::CheckBox, 0, 94, 104, 50, 10, Same("Exposure")));
  items.push_back(Control(kCheckMirrorV, ControlKind::CheckBox, style::kHidden, 160, 104, 50, 10,
                          Same("Mirror V")));
  return layout;
}

// Four radio buttons without text for BayerMode 0 to 3, in a row.
void AddBayerModeRadios(std::vector<Item>& items, std::int16_t x, std::int16_t y) {
  for (std::size_t i = 0; i < kRadiosBayerMode.size(); ++i) {
    items.push_back(Control(kRadiosBayerMode[i], ControlKind::RadioButton, 0,
                            static_cast<std::int16_t>(x + 14 * i), y, 10, 10));
  }
}

Layout ImageFilterPage() {
  Layout layout{kImageFilterPage, true, Same(""), 256, 256, 134, {}};
  auto& items = layout.items;
  const SliderPlaces places{4, 44, 48, 100, 150, 28, 13};
  for (std::size_t i = 0; i < kImageFilterRows.size(); ++i) {
    AddSliderRow(items, kImageFilterRows[i], places, static_cast<std::int16_t>(4 + 14 * i), 0);
  }
  items.push_back(Label(196, 4, 58, 16, Same("Auto white balance")));
  items.push_back(Control(kButtonOnce, ControlKind::PushButton, 0, 196, 22, 14, 12));
  items.push_back(Label(212, 24, 44, 8, Same("Once")));
  items.push_back(Control(kCheckAllFrames, ControlKind::CheckBox, 0, 198, 38, 10, 10));
  items.push_back(Label(212, 39, 44, 8, Same("All frames")));
  items.push_back(Label(196, 58, 58, 8, Same("Bayer Mode")));
  AddBayerModeRadios(items, 198, 70);
  return layout;
}

Layout GrayFilterPage() {
  Layout layout{kGrayFilterPage, true, Same(""), 256, 256, 134, {}};
  auto& items = layout.items;
  const SliderPlaces places{10, 34, 44, 100, 146, 28, 12};
  for (std::size_t i = 0; i < kGrayFilterRows.size(); ++i) {
    if (i % 4 == 0) {
      const auto top = static_cast<std::int16_t>(i == 0 ? 2 : 68);
      items.push_back(GroupBox(4, top, 182, 66, Same(i == 0 ? "Gain" : "Offset")));
    }
    const auto y = static_cast<std::int16_t>((i < 4 ? 13 : 79) + 13 * (i % 4));
    AddSliderRow(items, kGrayFilterRows[i], places, y, 0);
  }
  items.push_back(Label(192, 4, 62, 8, Same("Filter mode")));
  const char* const modes[3] = {"Bayer", "Bayer convert", "Grayscale"};
  for (std::size_t i = 0; i < kRadiosGrayMode.size(); ++i) {
    items.push_back(Control(kRadiosGrayMode[i], ControlKind::RadioButton, 0, 192,
                            static_cast<std::int16_t>(14 + 12 * i), 62, 10, Same(modes[i])));
  }
  items.push_back(Label(192, 56, 62, 8, Same("Auto Gain")));
  items.push_back(Control(kButtonOnce, ControlKind::PushButton, 0, 192, 66, 40, 14, Same("Once")));
  items.push_back(
      Control(kCheckAllFrames, ControlKind::CheckBox, 0, 192, 84, 62, 10, Same("All frames")));
  items.push_back(Label(192, 102, 62, 8, Same("Bayer Mode")));
  AddBayerModeRadios(items, 192, 114);
  return layout;
}

// The templates made from the layouts, with the controls they point at.
struct Table {
  std::vector<std::unique_ptr<std::vector<ControlTemplate>>> controls;
  std::vector<DialogTemplate> templates;
};

void AddTemplate(Table& table, const Layout& layout, Language language) {
  auto& controls = *table.controls.emplace_back(std::make_unique<std::vector<ControlTemplate>>());
  for (const Item& item : layout.items) {
    // Every control starts a group of its own but a radio button after a radio button, so that
    // each run of radio buttons is one group.
    const bool continuesRun = item.kind == ControlKind::RadioButton && !controls.empty() &&
                              controls.back().kind == ControlKind::RadioButton;
    controls.push_back({item.id, item.kind, item.style | (continuesRun ? 0 : style::kGroup), item.x,
                        item.y, item.width, item.height, item.text.In(language)});
  }
  const bool japanese = language == Language::Japanese;
  table.templates.push_back(
      {layout.ids.In(language), layout.page, layout.title.In(language), kDialogFont,
       kDialogFontPoints, japanese ? layout.japaneseWidth : layout.width, layout.height, controls});
}

const Table& Templates() {
  static const Table* const table = [] {
    auto* made = new Table;
    for (const Layout& layout :
         {CameraDialog(), TabbedDialog(kAnalogDialog, 178), AnalogPage(),
          TabbedDialog(kImageDialog, 194), ImageFilterPage(), GrayFilterPage()}) {
      AddTemplate(*made, layout, Language::English);
      AddTemplate(*made, layout, Language::Japanese);
    }
    std::sort(made->templates.begin(), made->templates.end(),
              [](const DialogTemplate& a, const DialogTemplate& b) { return a.id < b.id; });
    return made;
  }();
  return *table;
}

}  // namespace

std::span<const DialogTemplate> DialogTemplates() {
  return Templates().templates;
}

const DialogTemplate* FindDialogTemplate(std::int32_t id) {
  for (const DialogTemplate& dialog : DialogTemplates()) {
    if (dialog.id == id) return &dialog;
  }
  return nullptr;
}

}  // namespace orvex::dialogs
