// The language the dialogs are shown in, from the locale as the C library's categories name it.
// Dialogs drawn on an X display need a font with Japanese glyphs for their Japanese texts
// (japanese_font.cpp); without one they are English, as boxes for every character would be of
// no use to anybody.

#pragma GCC visibility push(default)
#include <orvex/platform.h>
#pragma GCC visibility pop

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "dialog_view.h"

namespace {

constexpr int32_t kJapanese = 1041;
constexpr int32_t kEnglish = 1033;

std::atomic<int32_t> languageOverride{0};

bool JapaneseReadable() {
  try {
    return !orvex::headless::DialogsOnScreen() || orvex::headless::JapaneseFontFamily().has_value();
  } catch (...) {
    return true;
  }
}

}  // namespace

extern "C" {

int32_t OrvexPlatform_GetSystemLanguage(void) {
  const int32_t chosen = languageOverride.load(std::memory_order_relaxed);
  if (chosen != 0) return chosen;
  // The order in which the C library lets one category override another.
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && value[0] != '\0') {
      return std::strncmp(value, "ja", 2) == 0 && JapaneseReadable() ? kJapanese : kEnglish;
    }
  }
  return kEnglish;
}

int32_t OrvexPlatform_SetSystemLanguage(int32_t langId) {
  languageOverride.store(langId, std::memory_order_relaxed);
  return 1;
}

}  // extern "C"
