#include "dialogs/slider_group.h"

namespace orvex::dialogs {

void InitSliderGroup(platform::DialogHost& host, platform::WindowHandle window,
                     std::int32_t trackbar, std::int32_t upDown, std::int32_t edit,
                     std::int32_t minimum, std::int32_t maximum, std::int32_t value, bool enabled,
                     std::int32_t tickFrequency) {
  host.SetTrackbarRange(window, trackbar, minimum, maximum);
  host.SetTrackbarPosition(window, trackbar, value);
  host.SetTrackbarTickFrequency(window, trackbar, tickFrequency);
  host.SetUpDownRange(window, upDown, minimum, maximum);
  host.SetUpDownPosition(window, upDown, value);
  host.SetUpDownBuddy(window, upDown, edit);
  host.SetItemInt(window, edit, value);
  for (const std::int32_t id : {trackbar, upDown, edit}) host.EnableItem(window, id, enabled);
}

void InitSliderGroup(platform::DialogHost& host, platform::WindowHandle window,
                     const SliderRow& row, std::int32_t value, bool enabled) {
  InitSliderGroup(host, window, row.trackbar, row.upDown, row.edit, row.minimum, row.maximum, value,
                  enabled, row.tickFrequency);
}

void ShowSliderValue(platform::DialogHost& host, platform::WindowHandle window,
                     const SliderRow& row, std::int32_t value) {
  host.SetTrackbarPosition(window, row.trackbar, value);
  host.SetItemInt(window, row.edit, value);
}

int RowOfEdit(std::span<const SliderRow> rows, std::int32_t id) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].edit == id) return static_cast<int>(i);
  }
  return -1;
}

int RowOfTrackbar(std::span<const SliderRow> rows, std::int32_t id) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].trackbar == id) return static_cast<int>(i);
  }
  return -1;
}

void ShowTrackbarInEdit(platform::DialogHost& host, platform::WindowHandle window,
                        const SliderRow& row) {
  host.SetItemInt(window, row.edit, host.GetTrackbarPosition(window, row.trackbar));
}

}  // namespace orvex::dialogs
