// The library's dialog templates: the one table from which the Windows resources are generated
// and from which the dialogs are made where there are no resources.
#pragma once

#include <cstdint>
#include <span>

#include "dialogs/dialog_language.h"
#include "platform/dialog_host.h"

namespace orvex::dialogs {

// The resource ids of one dialog or page in each language.
struct TemplateIds {
  std::int32_t english;
  std::int32_t japanese;

  std::int32_t In(Language language) const {
    return language == Language::Japanese ? japanese : english;
  }
};

inline constexpr TemplateIds kCameraDialog = {106, 101};
inline constexpr TemplateIds kAnalogDialog = {111, 104};
inline constexpr TemplateIds kAnalogPage = {110, 105};
inline constexpr TemplateIds kImageDialog = {108, 102};
inline constexpr TemplateIds kImageFilterPage = {107, 103};
inline constexpr TemplateIds kGrayFilterPage = {112, 113};

inline constexpr char kDialogFont[] = "MS Shell Dlg";
inline constexpr std::int32_t kDialogFontPoints = 8;

// Every template, by ascending id.
std::span<const platform::DialogTemplate> DialogTemplates();

// The template with this id; null for an id that is not in the table.
const platform::DialogTemplate* FindDialogTemplate(std::int32_t id);

}  // namespace orvex::dialogs
