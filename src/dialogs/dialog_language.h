#pragma once

#include <cstdint>

#include "platform/dialog_host.h"

namespace orvex::dialogs {

enum class Language { English, Japanese };

// The system's default language id that selects the Japanese dialogs; any other is English.
inline constexpr std::int32_t kJapaneseLanguageId = 1041;

// The language of every dialog of the library, from the system's default language.
Language DialogLanguage(platform::DialogHost& host);

// A text in both languages; dialogs show the one of DialogLanguage.
struct LocalText {
  const char* english;
  const char* japanese;

  const char* In(Language language) const {
    return language == Language::Japanese ? japanese : english;
  }
};

}  // namespace orvex::dialogs
