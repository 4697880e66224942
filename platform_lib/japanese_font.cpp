// The font of Japanese dialogs. The toolkit draws a text in one font and does not fall back to
// another for glyphs that font lacks, so Japanese texts need a font that has them all: one that
// fontconfig offers for "sans-serif:lang=ja" and that really covers the kana and kanji of the
// dialogs. Without such a font Japanese texts would show as empty boxes, which is why the
// language of the dialogs is then English wherever they are drawn (system_language.cpp).

#include <fontconfig/fontconfig.h>

#include "dialog_view.h"

namespace orvex::headless {
namespace {

// Characters of the Japanese dialogs from each script they use: hiragana, katakana, kanji and
// the reference mark.
constexpr FcChar32 kSamples[] = {0x306E, 0x30D7, 0x30ED, 0x8272, 0x5F85, 0x9593, 0x203B};

bool CoversJapanese(FcPattern* font) {
  FcCharSet* characters = nullptr;
  if (FcPatternGetCharSet(font, FC_CHARSET, 0, &characters) != FcResultMatch) return false;
  for (const FcChar32 sample : kSamples) {
    if (!FcCharSetHasChar(characters, sample)) return false;
  }
  return true;
}

bool FixedPitch(FcPattern* font) {
  int spacing = FC_PROPORTIONAL;
  FcPatternGetInteger(font, FC_SPACING, 0, &spacing);
  return spacing != FC_PROPORTIONAL;  // dual-width fonts are fixed-pitch for Latin
}

// The best of fontconfig's candidates for the pattern that covers Japanese, a proportional one
// if there is any: dialog texts mix kana and kanji with Latin words and digits, which a
// fixed-pitch font spreads out.
std::optional<std::string> FindJapaneseFont() {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=ja"));
  if (pattern == nullptr) return std::nullopt;
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcFontSet* candidates = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
  FcPatternDestroy(pattern);
  if (candidates == nullptr) return std::nullopt;
  std::optional<std::string> fixedPitch;
  std::optional<std::string> chosen;
  for (int i = 0; i < candidates->nfont && !chosen; ++i) {
    FcPattern* font = candidates->fonts[i];
    FcChar8* family = nullptr;
    if (!CoversJapanese(font) || FcPatternGetString(font, FC_FAMILY, 0, &family) != FcResultMatch) {
      continue;
    }
    const std::string name = reinterpret_cast<const char*>(family);
    if (!FixedPitch(font)) {
      chosen = name;
    } else if (!fixedPitch) {
      fixedPitch = name;
    }
  }
  FcFontSetDestroy(candidates);
  return chosen ? chosen : fixedPitch;
}

}  // namespace

const std::optional<std::string>& JapaneseFontFamily() {
  static const std::optional<std::string> family = FindJapaneseFont();
  return family;
}

}  // namespace orvex::headless
