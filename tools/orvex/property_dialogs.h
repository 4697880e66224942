// The library's three property dialogs as the commands open them (orvex dialog, and the keys of
// orvex preview), and the choice of their language.
#pragma once

#include <OrvexSdk_QX218.h>

#include <cstdint>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <orvex/platform.h>
#endif

#include "tools/orvex/capture_options.h"

namespace orvex::tool {

struct PropertyDialog {
  const char* name;
  char key;  // the key of orvex preview that opens it
  std::int32_t(ORVEX_CALL* open)(CameraHandle handle, OrvexWindow owner);
  // Whether the dialog is about the live picture (so that orvex dialog starts a preview under
  // it); the camera dialog stops the preview while it is open.
  bool overPreview;
};

inline constexpr PropertyDialog kPropertyDialogs[] = {
    {"camera", 'c', Orvex_SetCameraDlg, false},
    {"analog", 'a', Orvex_SetAnalogDlg, true},
    {"image", 'i', Orvex_SetImageDlg, true},
};

// Runs the dialog until it closes; its result. What the user changed in it stays after the run:
// it is dropped from what `saved` puts back (see KeepDialogChanges).
inline std::int32_t OpenKeepingChanges(const PropertyDialog& dialog, CameraHandle handle,
                                       OrvexWindow owner, SavedSettings* saved) {
  const SavedSettings before = CurrentValues(handle, *saved);
  const std::int32_t result = dialog.open(handle, owner);
  KeepDialogChanges(handle, before, saved);
  return result;
}

inline constexpr std::int32_t kEnglish = 1033;
inline constexpr std::int32_t kJapanese = 1041;

// Takes `--lang en|ja` at args[*i]: 1 taken (language set), 0 another option, -1 malformed.
inline int ParseLanguageOption(const std::vector<std::string>& args, std::size_t* i,
                               std::int32_t* language) {
  if (args[*i] != "--lang") return 0;
  if (*i + 1 >= args.size() || (args[*i + 1] != "en" && args[*i + 1] != "ja")) return -1;
  *language = args[++*i] == "ja" ? kJapanese : kEnglish;
  return 1;
}

// Whether a dialog can be shown to a person here at all (without a screen it would be headless
// and wait for the automation API forever).
inline bool DialogsCanBeShown() {
#if defined(_WIN32)
  return true;
#else
  return OrvexPlatform_GetDialogsOnScreen() != 0;
#endif
}

// False where the dialogs can only follow the system's own language.
inline bool ChooseLanguage(std::int32_t langId) {
#if defined(_WIN32)
  (void)langId;
  return false;
#else
  return OrvexPlatform_SetSystemLanguage(langId) == 1;
#endif
}

}  // namespace orvex::tool
