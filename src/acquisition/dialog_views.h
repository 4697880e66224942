#pragma once

#include <cstdint>

namespace orvex {

// What the frame pipeline may ask of an open image dialog: reload its pages from the
// context's settings after a white or gray balance measurement. Called on the preview thread.
class ImageDialogView {
 public:
  virtual void Refresh() = 0;

 protected:
  ~ImageDialogView() = default;
};

// What the automatic exposure may ask of an open analog dialog: show a new value in an edit
// item (1027 the exposure, 1015 the global gain), as if typed. Called on the preview thread.
class AnalogDialogView {
 public:
  virtual void SetItemInt(int item, std::int32_t value) = 0;

 protected:
  ~AnalogDialogView() = default;
};

}  // namespace orvex
