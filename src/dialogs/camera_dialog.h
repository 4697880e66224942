#pragma once

#include <cstdint>

#include "dialogs/dialog_language.h"
#include "dialogs/dialog_ports.h"
#include "platform/dialog_host.h"
#include "settings/registry_settings.h"

namespace orvex::dialogs {

// The camera property dialog: the output format, an entry of the stored size table or a new
// custom size, and the wait time. It edits a copy of the stored Format group and size table and
// writes them back on OK or Apply; the context itself is left alone.
//
// "Custom" with a table that already holds its 100 entries is refused: Apply and OK then write
// nothing, Apply stays enabled and the dialog stays open, so that the user may choose an
// existing entry or cancel. No entry is overwritten and nothing is written outside the table.
class CameraDialog final : public platform::DialogProcedure {
 public:
  CameraDialog(CameraDialogPort& port, platform::DialogHost& host, Language language);

  void OnDialogEvent(platform::WindowHandle window, platform::DialogEvent event,
                     std::int32_t control) override;

 private:
  void Initialize();
  // Table entry `index` in the six geometry edits.
  void ShowEntry(std::int32_t index);
  // The dialog's values into the table; false when refused (Custom with a full table).
  bool Collect();
  // Collect and write; true when written.
  bool Apply();
  void EnableApply(bool enable);

  CameraDialogPort& port_;
  platform::DialogHost& host_;
  Language language_;
  platform::WindowHandle window_ = 0;
  settings::SizeTable table_;
};

// Orvex_SetCameraDlg: stops a running preview or capture, runs the dialog modally over `owner`,
// makes the context reload the stored size and format after OK, and restarts what ran before.
// 1 once the dialog has closed; 0 with ErrorNoDevice (nothing shown) when the context has no
// device link, or with ErrorWindow when the dialog could not be made.
int RunCameraDialog(CameraDialogPort& port, platform::DialogHost& host,
                    platform::WindowHandle owner);

}  // namespace orvex::dialogs
