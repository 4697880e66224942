#include "dialogs/dialog_language.h"

namespace orvex::dialogs {

Language DialogLanguage(platform::DialogHost& host) {
  return host.SystemLanguage() == kJapaneseLanguageId ? Language::Japanese : Language::English;
}

}  // namespace orvex::dialogs
