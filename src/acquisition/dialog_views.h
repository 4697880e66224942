#pragma once

#include <atomic>
#include <cstdint>

namespace orvex {

// What the acquisition asks of an open image dialog: reload its pages from the settings after
// a white or gray balance measurement. Called on the thread that runs the pipeline.
class ImageDialogView {
 public:
  virtual void Refresh() = 0;

 protected:
  ~ImageDialogView() = default;
};

// What the acquisition asks of an open analog dialog after the automatic exposure moved: show
// the new value in an edit item (1027 the exposure, 1015 the global gain), as if typed. Called
// on the thread that runs the pipeline.
class AnalogDialogView {
 public:
  virtual void SetItemInt(int item, std::int32_t value) = 0;

 protected:
  ~AnalogDialogView() = default;
};

// The dialogs open on a camera, which the acquisition tells what it changed. A dialog sets its
// view while it is open and clears it before it goes.
struct DialogViews {
  std::atomic<ImageDialogView*> imageDialog{nullptr};
  std::atomic<AnalogDialogView*> analogDialog{nullptr};
};

}  // namespace orvex
