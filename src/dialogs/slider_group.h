// Slider groups: a trackbar, its buddy edit and an up-down that show one setting together.
#pragma once

#include <cstdint>
#include <span>

#include "dialogs/dialog_controls.h"
#include "platform/dialog_host.h"

namespace orvex::dialogs {

// Sets up one slider group: the trackbar's range, position and tick frequency, the up-down's
// range and position with the edit as its buddy, the value in the edit as a signed number, and
// all three enabled or disabled.
void InitSliderGroup(platform::DialogHost& host, platform::WindowHandle window,
                     std::int32_t trackbar, std::int32_t upDown, std::int32_t edit,
                     std::int32_t minimum, std::int32_t maximum, std::int32_t value, bool enabled,
                     std::int32_t tickFrequency);
void InitSliderGroup(platform::DialogHost& host, platform::WindowHandle window,
                     const SliderRow& row, std::int32_t value, bool enabled);

// Puts a value into a slider group as a refresh does: the trackbar's position, then the edit
// (whose text change the page then handles as a typed value).
void ShowSliderValue(platform::DialogHost& host, platform::WindowHandle window,
                     const SliderRow& row, std::int32_t value);

// The row whose edit, or whose trackbar, has this id; -1 when none has.
int RowOfEdit(std::span<const SliderRow> rows, std::int32_t id);
int RowOfTrackbar(std::span<const SliderRow> rows, std::int32_t id);

// A moved trackbar: its edit shows the new position.
void ShowTrackbarInEdit(platform::DialogHost& host, platform::WindowHandle window,
                        const SliderRow& row);

}  // namespace orvex::dialogs
