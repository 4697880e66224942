#include "dialog_controls.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace orvex::headless {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::int32_t Low(const Control& c) {
  return std::min(c.minimum, c.maximum);
}
std::int32_t High(const Control& c) {
  return std::max(c.minimum, c.maximum);
}
std::int32_t KeepInRange(const Control& c, std::int32_t value) {
  return std::clamp(value, Low(c), High(c));
}

// Radio buttons of one group: from the nearest control at or before `at` that starts a group, up
// to the next control that starts one.
void UncheckGroupExcept(Controls& controls, std::size_t at) {
  std::size_t first = at;
  while (first > 0 && (controls[first].style & ORVEX_CONTROL_GROUP) == 0) --first;
  for (std::size_t i = first; i < controls.size(); ++i) {
    if (i != first && (controls[i].style & ORVEX_CONTROL_GROUP) != 0) break;
    if (i != at && controls[i].kind == ORVEX_CONTROL_RADIO_BUTTON) controls[i].checked = false;
  }
}

}  // namespace

std::optional<Controls> MakeControls(const OrvexDialogItem* items, std::int32_t count) {
  Controls controls;
  if (count < 0 || (count > 0 && items == nullptr)) return std::nullopt;
  controls.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    const OrvexDialogItem& item = items[i];
    if (item.kind < ORVEX_CONTROL_PUSH_BUTTON || item.kind > ORVEX_CONTROL_TAB) return std::nullopt;
    Control c;
    c.id = item.id;
    c.kind = item.kind;
    c.style = item.style;
    c.x = item.x;
    c.y = item.y;
    c.width = item.width;
    c.height = item.height;
    c.text = item.text != nullptr ? item.text : "";
    c.enabled = (item.style & ORVEX_CONTROL_DISABLED) == 0;
    c.visible = (item.style & ORVEX_CONTROL_HIDDEN) == 0;
    if (c.kind == ORVEX_CONTROL_TRACKBAR) c.maximum = 100;
    if (c.kind == ORVEX_CONTROL_UP_DOWN) c.minimum = 100;
    controls.push_back(std::move(c));
  }
  return controls;
}

Control* FindControl(Controls& controls, std::int32_t id) {
  auto it =
      std::find_if(controls.begin(), controls.end(), [&](const Control& c) { return c.id == id; });
  return it == controls.end() ? nullptr : &*it;
}

std::optional<std::int32_t> ReadNumber(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  std::int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

std::optional<ControlEvent> SetText(Control& control, std::string_view text) {
  control.text.assign(text);
  if (control.kind != ORVEX_CONTROL_EDIT) return std::nullopt;
  return ControlEvent{ORVEX_DIALOG_TEXT_CHANGED, control.id};
}

bool AcceptsTyped(const Control& edit, std::string_view text) {
  if (edit.kind != ORVEX_CONTROL_EDIT || (edit.style & ORVEX_CONTROL_READ_ONLY) != 0) return false;
  if ((edit.style & ORVEX_CONTROL_DIGITS_ONLY) == 0) return true;
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void SetTrackbarRange(Control& trackbar, std::int32_t minimum, std::int32_t maximum) {
  trackbar.minimum = minimum;
  trackbar.maximum = maximum;
  trackbar.position = KeepInRange(trackbar, trackbar.position);
}

void SetTrackbarPosition(Control& trackbar, std::int32_t position) {
  trackbar.position = KeepInRange(trackbar, position);
}

void SetUpDownRange(Control& upDown, std::int32_t minimum, std::int32_t maximum) {
  upDown.minimum = minimum;
  upDown.maximum = maximum;
  upDown.position = KeepInRange(upDown, upDown.position);
}

std::optional<ControlEvent> SetUpDownPosition(Controls& controls, Control& upDown,
                                              std::int32_t position) {
  upDown.position = KeepInRange(upDown, position);
  const std::int32_t shown = upDown.position;
  Control* buddy = upDown.buddy != 0 ? FindControl(controls, upDown.buddy) : nullptr;
  if (buddy == nullptr) return std::nullopt;
  return SetText(*buddy, std::to_string(shown));
}

std::int32_t UpDownPosition(Controls& controls, Control& upDown) {
  const Control* buddy = upDown.buddy != 0 ? FindControl(controls, upDown.buddy) : nullptr;
  if (buddy != nullptr) {
    const std::optional<std::int32_t> shown = ReadNumber(buddy->text);
    if (shown && *shown >= Low(upDown) && *shown <= High(upDown)) upDown.position = *shown;
  }
  return upDown.position;
}

std::int32_t InsertItem(Control& control, std::int32_t index, std::string_view text) {
  const auto count = static_cast<std::int32_t>(control.items.size());
  if (index == -1) index = count;
  if (index < 0 || index > count) return -1;
  control.items.insert(control.items.begin() + index, std::string(text));
  if (control.kind == ORVEX_CONTROL_TAB && control.selection < 0) {
    control.selection = 0;
  } else if (control.selection >= index) {
    ++control.selection;
  }
  return index;
}

bool DeleteItem(Control& control, std::int32_t index) {
  if (index < 0 || index >= static_cast<std::int32_t>(control.items.size())) return false;
  control.items.erase(control.items.begin() + index);
  if (control.selection == index) {
    control.selection = -1;
  } else if (control.selection > index) {
    --control.selection;
  }
  return true;
}

bool Click(Controls& controls, Control& control) {
  switch (control.kind) {
    case ORVEX_CONTROL_PUSH_BUTTON:
      return true;
    case ORVEX_CONTROL_CHECK_BOX:
      control.checked = !control.checked;
      return true;
    case ORVEX_CONTROL_RADIO_BUTTON:
      control.checked = true;
      UncheckGroupExcept(controls, static_cast<std::size_t>(&control - controls.data()));
      return true;
    default:
      return false;
  }
}

}  // namespace orvex::headless
