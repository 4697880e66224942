#include "dialogs/camera_dialog.h"

#include <array>
#include <cstdio>
#include <string>

#include "dialogs/dialog_controls.h"
#include "dialogs/dialog_steps.h"

namespace orvex::dialogs {
namespace {

using platform::DialogEvent;

// The items of the Color list, by ColorType. The marked ones take two bytes a sample.
constexpr std::array<LocalText, 6> kColorTypes = {{
    {"Monochrome 8bit", "白黒 8bit"},
    {"Monochrome 10bit *", "白黒 10bit ※"},
    {"Color 24bit", "カラー 24bit"},
    {"Color 32bit", "カラー 32bit"},
    {"Color 48bit *", "カラー 48bit ※"},
    {"Color 64bit *", "カラー 64bit ※"},
}};
constexpr std::array<LocalText, 2> kSubSamples = {{{"1/1", "1/1"}, {"1/2", "1/2"}}};
constexpr std::array<LocalText, 2> kClocks = {{{"Nomal", "標準"}, {"Half", "ハーフ"}}};
constexpr LocalText kCustom = {"Custom", "カスタム"};
constexpr LocalText kStreamFormat = {"Stream Format", "ストリーム形式"};

constexpr std::int32_t kCustomBuf = 10;

std::string SizeText(const SizeEntry& entry) {
  char text[32];
  std::snprintf(text, sizeof text, "%d x %d", static_cast<int>(entry.EH),
                static_cast<int>(entry.EV));
  return text;
}

// The six values a geometry edit shows, in the order of kGeometryEdits.
std::array<std::int32_t*, 6> GeometryOf(SizeEntry& entry) {
  return {&entry.TH, &entry.TV, &entry.EH, &entry.EV, &entry.EHS, &entry.EVS};
}

bool IsList(std::int32_t id) {
  return id == kListColor || id == kListSize || id == kListSubSample || id == kListClock;
}

}  // namespace

CameraDialog::CameraDialog(CameraDialogPort& port, platform::DialogHost& host, Language language)
    : port_(port), host_(host), language_(language) {}

void CameraDialog::OnDialogEvent(platform::WindowHandle window, DialogEvent event,
                                 std::int32_t control) {
  switch (event) {
    case DialogEvent::Init:
      window_ = window;
      Initialize();
      return;
    case DialogEvent::SelectionChanged:
      if (!IsList(control)) return;
      EnableApply(true);
      if (control == kListSize) {
        table_.Size = host_.GetListSelection(window_, kListSize);
        // "Custom" keeps what the edits show.
        if (table_.Size >= 0 && table_.Size < table_.count) ShowEntry(table_.Size);
      }
      return;
    case DialogEvent::TextChanged:
      EnableApply(true);
      return;
    case DialogEvent::Clicked:
      if (control == kButtonApply) {
        Apply();
      } else if (control == kButtonOk) {
        if (Apply()) host_.EndDialog(window_, kButtonOk);
      } else if (control == kButtonCancel) {
        host_.EndDialog(window_, kButtonCancel);
      }
      return;
    default:
      return;
  }
}

void CameraDialog::Initialize() {
  port_.ReadSizeTable(table_);
  host_.InsertTab(window_, kTabControl, 0, kStreamFormat.In(language_));

  const auto fill = [&](std::int32_t list, auto&& texts, std::int32_t selected) {
    for (const LocalText& text : texts) host_.AddListItem(window_, list, text.In(language_));
    host_.SetListSelection(window_, list, selected);
  };
  fill(kListColor, kColorTypes, table_.Color);
  fill(kListSubSample, kSubSamples, table_.SubSample);
  fill(kListClock, kClocks, table_.Clock);

  for (int i = 0; i < table_.count; ++i) {
    host_.AddListItem(window_, kListSize, SizeText(table_.entries[static_cast<std::size_t>(i)]));
  }
  host_.AddListItem(window_, kListSize, kCustom.In(language_));
  host_.SetListSelection(window_, kListSize, table_.Size);

  ShowEntry(table_.Size);
  host_.SetItemUnsigned(window_, kEditWaitTime, static_cast<std::uint32_t>(table_.WaitTime));
  // Filling the edits enabled it.
  EnableApply(false);
}

void CameraDialog::ShowEntry(std::int32_t index) {
  // A stored Size that names no slot of the table shows zeros.
  SizeEntry entry{};
  if (index >= 0 && index < settings::kMaxSizeEntries) {
    entry = table_.entries[static_cast<std::size_t>(index)];
  }
  const auto values = GeometryOf(entry);
  for (std::size_t i = 0; i < kGeometryEdits.size(); ++i) {
    host_.SetItemUnsigned(window_, kGeometryEdits[i], static_cast<std::uint32_t>(*values[i]));
  }
}

bool CameraDialog::Collect() {
  const std::int32_t size = host_.GetListSelection(window_, kListSize);
  if (size == table_.count && table_.count >= settings::kMaxSizeEntries) return false;

  // A list without a selection (a stored value it has no item for) keeps the stored value.
  const auto take = [&](std::int32_t list, std::int32_t& field) {
    const std::int32_t selected = host_.GetListSelection(window_, list);
    if (selected >= 0) field = selected;
  };
  take(kListColor, table_.Color);
  take(kListSubSample, table_.SubSample);
  take(kListClock, table_.Clock);
  table_.WaitTime = static_cast<std::int32_t>(host_.GetItemUnsigned(window_, kEditWaitTime));

  if (size >= 0) {
    table_.Size = size;
    const bool custom = size == table_.count;
    SizeEntry& entry = table_.entries[static_cast<std::size_t>(size)];
    for (std::size_t i = 0; i < kGeometryEdits.size(); ++i) {
      *GeometryOf(entry)[i] =
          static_cast<std::int32_t>(host_.GetItemUnsigned(window_, kGeometryEdits[i]));
    }
    if (custom) {
      entry.Buf = kCustomBuf;
      ++table_.count;
    } else {
      host_.DeleteListItem(window_, kListSize, size);
    }
    host_.InsertListItem(window_, kListSize, size, SizeText(entry));
    host_.SetListSelection(window_, kListSize, size);
  }
  EnableApply(false);
  return true;
}

bool CameraDialog::Apply() {
  if (!Collect()) return false;
  port_.WriteSizeTable(table_);
  return true;
}

void CameraDialog::EnableApply(bool enable) {
  host_.EnableItem(window_, kButtonApply, enable);
}

int RunCameraDialog(CameraDialogPort& port, platform::DialogHost& host,
                    platform::WindowHandle owner) {
  if (!CheckDeviceLink(port)) return 0;
  // What ran is learnt from the pause itself: a state read before it may be one another thread
  // is just stopping, and restarting that would deliver into a buffer already freed.
  const std::int32_t paused = port.PauseAcquisition();

  const Language language = DialogLanguage(host);
  CameraDialog dialog(port, host, language);
  const std::intptr_t result = RunDialog(host, kCameraDialog, language, owner, dialog);
  if (result == kButtonOk) {
    port.LoadSizeSettings();
    port.LoadFormatSettings();
  }

  if (paused == kPreviewing) {
    port.StartPreview();
  } else if (paused == kCapturing) {
    port.Capture();
  }
  return DialogResult(port, result);
}

}  // namespace orvex::dialogs
