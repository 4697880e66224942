// The picture of a modal dialog and its pages on a screen. The dialog manager keeps the model of
// every control (dialog_controls.h) and runs the dialog; a view only shows that model and turns
// what a person does with the mouse and the keyboard into the calls of the automation API, so
// that a drawn dialog and a headless one behave alike. A view belongs to the dialog's thread:
// every member is called there.
#pragma once

#include <orvex/platform.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialog_controls.h"
#include "headless_window_table.h"

namespace orvex::headless {

// MulDiv, as dialog units become pixels: the product divided, rounded half away from zero.
inline std::int32_t MulDiv(std::int32_t value, std::int32_t numerator, std::int32_t denominator) {
  const std::int64_t product = std::int64_t{value} * numerator;
  const std::int64_t half = denominator / 2;
  return static_cast<std::int32_t>((product >= 0 ? product + half : product - half) / denominator);
}

// What a view shows of one window: the modal dialog or one of its pages.
struct WindowModel {
  OrvexWindow handle = 0;
  bool visible = false;
  Box outer;               // a page: its place in its tab control, in pixels
  std::int32_t tabId = 0;  // a page: the tab control that holds it
  Controls controls;
};

// The model of a modal dialog and its pages, as the view should show it.
struct DialogModel {
  WindowModel dialog;
  std::vector<WindowModel> pages;
};

class DialogView {
 public:
  virtual ~DialogView() = default;

  // Makes the widgets of a page (hidden) from its model.
  virtual void AddPage(const WindowModel& page, std::int16_t widthUnits,
                       std::int16_t heightUnits) = 0;
  // Makes the picture show the model; pages missing from it are gone.
  virtual void Show(const DialogModel& model) = 0;
  // Maps the window, once the dialog has been initialised.
  virtual void Present() = 0;
  // Waits until a person did something, a wake-up came or a short while passed, and handles
  // what came.
  virtual void Wait() = 0;

  // Where the dialog or one of its controls is on the screen, in pixels; nullopt when unknown.
  virtual std::optional<Box> WindowBox(OrvexWindow window) = 0;
  virtual std::optional<Box> ItemBox(OrvexWindow window, std::int32_t id) = 0;
  // The X window of the dialog, for dialogs it owns.
  virtual unsigned long XWindow() const = 0;
};

// Whether dialogs opened now are drawn on an X display: allowed (the default) and a display is
// reachable. The first call probes $DISPLAY, waiting two seconds at most.
bool DialogsOnScreen();
// Allows or forbids drawing dialogs opened from now on.
void AllowDialogsOnScreen(bool allow);

// A view for a new modal dialog on the calling thread; null when the dialog is to stay headless
// (no display, drawing forbidden, or another thread is drawing dialogs). `ownerXWindow` is the X
// window the dialog is transient for and centred on (0 for none); `ownerIsForeign` tells that it
// belongs to the application, which then gets no input while the dialog is open.
std::shared_ptr<DialogView> MakeScreenDialog(const OrvexDialogTemplate& dialogTemplate,
                                             const WindowModel& model, unsigned long ownerXWindow,
                                             bool ownerIsForeign);

// Wakes the thread that waits in DialogView::Wait; callable from any thread.
void WakeScreen();

// The family of a font that has Japanese glyphs, found once through fontconfig; nullopt when
// none is installed.
const std::optional<std::string>& JapaneseFontFamily();

}  // namespace orvex::headless
