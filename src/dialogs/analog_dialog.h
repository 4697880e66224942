#pragma once

#include <atomic>
#include <cstdint>

#include "acquisition/dialog_views.h"
#include "dialogs/dialog_language.h"
#include "dialogs/dialog_ports.h"
#include "platform/dialog_host.h"

namespace orvex::dialogs {

// The page of the analog dialog: the five gains (shown, disabled), the exposure, the automatic
// exposure boxes and the vertical mirror (shown, not changeable). Changes are live: the exposure
// reaches the camera as soon as it is typed or dragged.
class AnalogPage final : public platform::DialogProcedure {
 public:
  AnalogPage(AnalogDialogPort& port, platform::DialogHost& host);

  void OnDialogEvent(platform::WindowHandle window, platform::DialogEvent event,
                     std::int32_t control) override;

  // Every slider group from the analog record.
  void ShowRecord(platform::WindowHandle window);

 private:
  void Initialize(platform::WindowHandle window);
  void TextChanged(platform::WindowHandle window, std::int32_t edit);
  void AutoIrisClicked(platform::WindowHandle window, std::int32_t box);

  AnalogDialogPort& port_;
  platform::DialogHost& host_;
  // Text changes count only once the page has set itself up.
  bool ready_ = false;
};

// The analog dialog: one tab, "Analog Gain", holding the page. While it is open the automatic
// exposure shows its new exposure or gain in the page through the view, from the preview thread.
class AnalogDialog final : public platform::DialogProcedure, public AnalogDialogView {
 public:
  AnalogDialog(AnalogDialogPort& port, platform::DialogHost& host, Language language);

  void OnDialogEvent(platform::WindowHandle window, platform::DialogEvent event,
                     std::int32_t control) override;

  // From the preview thread: the value goes into the page's edit as if typed, on the dialog's
  // thread; this never waits for that thread.
  void SetItemInt(int item, std::int32_t value) override;

 private:
  AnalogDialogPort& port_;
  platform::DialogHost& host_;
  Language language_;
  AnalogPage page_;
  platform::WindowHandle window_ = 0;
  std::atomic<platform::WindowHandle> pageWindow_{0};
};

// Orvex_SetAnalogDlg: clears the five gains, reads the exposure from the camera, runs the dialog
// modally over `owner` and, unless it ended with OK, puts back the exposure (in the camera too),
// the analog record and BayerMode as they were once the gains were cleared. 1 once the dialog
// has closed; 0 with ErrorNoDevice (nothing shown) without a device link, or with ErrorWindow
// when the dialog could not be made.
int RunAnalogDialog(AnalogDialogPort& port, platform::DialogHost& host,
                    platform::WindowHandle owner);

}  // namespace orvex::dialogs
