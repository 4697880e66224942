// Steps that every dialog of the library takes alike.
#pragma once

#include <cstdint>

#include "dialogs/dialog_language.h"
#include "dialogs/dialog_ports.h"
#include "dialogs/dialog_templates.h"
#include "platform/dialog_host.h"

namespace orvex::dialogs {

// The first step of every dialog: false, with ErrorNoDevice recorded, when the context has no
// device link.
bool CheckDeviceLink(DialogContextPort& port);

// Runs the dialog of these templates in this language modally over `owner`: the EndDialog result,
// or -1 when the dialog could not be made.
std::intptr_t RunDialog(platform::DialogHost& host, TemplateIds ids, Language language,
                        platform::WindowHandle owner, platform::DialogProcedure& procedure);

// The last step: 1 once the dialog has closed, or 0 with ErrorWindow when it could not be made.
int DialogResult(DialogContextPort& port, std::intptr_t result);

// Inserts tab `tab` of the dialog's tab control and makes its page there, hidden, where every
// page of the library sits. 0 when the page could not be made.
platform::WindowHandle CreateTabPage(platform::DialogHost& host, platform::WindowHandle dialog,
                                     std::int32_t tab, const LocalText& tabText, TemplateIds ids,
                                     Language language, platform::DialogProcedure& page);

}  // namespace orvex::dialogs
