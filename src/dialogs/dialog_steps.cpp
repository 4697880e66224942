#include "dialogs/dialog_steps.h"

#include "dialogs/dialog_controls.h"

namespace orvex::dialogs {
namespace {

// Where a page sits in its tab control, in pixels, below the tabs.
constexpr std::int32_t kPageX = 30;
constexpr std::int32_t kPageY = 25;

}  // namespace

bool CheckDeviceLink(DialogContextPort& port) {
  if (port.HasDeviceLink()) return true;
  port.RecordError(kErrorNoDevice);
  return false;
}

std::intptr_t RunDialog(platform::DialogHost& host, TemplateIds ids, Language language,
                        platform::WindowHandle owner, platform::DialogProcedure& procedure) {
  const platform::DialogTemplate* dialog = FindDialogTemplate(ids.In(language));
  return dialog != nullptr ? host.RunModal(*dialog, owner, procedure) : -1;
}

int DialogResult(DialogContextPort& port, std::intptr_t result) {
  if (result != -1) return 1;
  port.RecordError(kErrorWindow);
  return 0;
}

platform::WindowHandle CreateTabPage(platform::DialogHost& host, platform::WindowHandle dialog,
                                     std::int32_t tab, const LocalText& tabText, TemplateIds ids,
                                     Language language, platform::DialogProcedure& page) {
  host.InsertTab(dialog, kTabControl, tab, tabText.In(language));
  const platform::DialogTemplate* pageTemplate = FindDialogTemplate(ids.In(language));
  if (pageTemplate == nullptr) return 0;
  const platform::WindowHandle made =
      host.CreatePage(*pageTemplate, dialog, kTabControl, tab, page);
  host.SetWindowPosition(made, kPageX, kPageY);
  return made;
}

}  // namespace orvex::dialogs
