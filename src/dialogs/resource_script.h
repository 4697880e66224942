#pragma once

#include <span>
#include <string>

#include "platform/dialog_host.h"

namespace orvex::dialogs {

// The Windows resource script of the templates: UTF-8, one DIALOGEX a template, every control a
// CONTROL statement with its window class and styles, for windres to compile into the library.
std::string WriteResourceScript(std::span<const platform::DialogTemplate> templates);

}  // namespace orvex::dialogs
