// The controls of a headless dialog and what each does when it is set, typed into or clicked:
// the model alone, with no threads and no picture, so that a drawn form can show the same model.
#pragma once

#include <orvex/platform.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::headless {

struct Control {
  std::int32_t id = -1;
  std::int32_t kind = 0;
  std::uint32_t style = 0;
  std::int16_t x = 0, y = 0, width = 0, height = 0;  // dialog units
  std::string text;
  bool enabled = true;
  bool visible = true;
  bool checked = false;
  std::vector<std::string> items;  // list items, or tabs
  std::int32_t selection = -1;
  // Trackbar and up-down. A new trackbar spans 0 .. 100; a new up-down 100 .. 0, as the common
  // controls start.
  std::int32_t minimum = 0;
  std::int32_t maximum = 0;
  std::int32_t position = 0;
  std::int32_t tickFrequency = 1;
  std::int32_t buddy = 0;  // an up-down's buddy edit, 0 for none
};

// An event for the window's procedure that a change brought about.
struct ControlEvent {
  std::int32_t event;
  std::int32_t id;
};

using Controls = std::vector<Control>;

// The controls of a template, in its order; nullopt when an item has an unknown kind.
std::optional<Controls> MakeControls(const OrvexDialogItem* items, std::int32_t count);

// The first control with this id; null when none.
Control* FindControl(Controls& controls, std::int32_t id);

// The number an edit holds, read as GetDlgItemInt reads it (signed): leading and trailing
// blanks allowed; nullopt when the text is not a number of 32 bits.
std::optional<std::int32_t> ReadNumber(std::string_view text);

// Sets a control's text; an edit reports the change.
std::optional<ControlEvent> SetText(Control& control, std::string_view text);

// Whether a person could type this text into the edit.
bool AcceptsTyped(const Control& edit, std::string_view text);

void SetTrackbarRange(Control& trackbar, std::int32_t minimum, std::int32_t maximum);
void SetTrackbarPosition(Control& trackbar, std::int32_t position);

void SetUpDownRange(Control& upDown, std::int32_t minimum, std::int32_t maximum);
// Keeps the position within the range and shows it in the buddy edit (whose change is reported).
std::optional<ControlEvent> SetUpDownPosition(Controls& controls, Control& upDown,
                                              std::int32_t position);
// The position as the control reads it back: its buddy's number when that is one within the
// range (which then becomes the position), else the last position.
std::int32_t UpDownPosition(Controls& controls, Control& upDown);

// List items and tabs. Indexes outside the items give -1 (insert: -1 and the count append).
std::int32_t InsertItem(Control& control, std::int32_t index, std::string_view text);
bool DeleteItem(Control& control, std::int32_t index);

// A click on a button, check box or radio button: its checks change as a person's click changes
// them. False for any other control.
bool Click(Controls& controls, Control& control);

}  // namespace orvex::headless
