#!/usr/bin/env bash
# Pictures of the property dialogs as the 32-bit Windows DLL draws them under Wine, in English
# and in Japanese: cross-builds the DLL, the virtual camera driver and the two Windows libraries
# (the windows preset), makes a prefix of its own (build/windows/screenshots-prefix) with the
# driver started on an Xvfb screen, opens every dialog and page there and saves them as
# docs/images/windows-dialog-<name>-<en|ja>.png. Not part of the suite.
set -euo pipefail
cd "$(dirname "$0")/.."
ORVEX_WITH_WINE=1 ORVEX_WITH_WINE_FONTS=1 scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target OrvexSdk_QX218 OrvexPlatform OrvexVirtualCamera \
  OrvexVirtualCameraDriver orvex_windows_dialog_screenshots

export ORVEX_WINEPREFIX=${ORVEX_WINEPREFIX:-$PWD/build/windows/screenshots-prefix}
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
WINEPATH=$(orvex_wine_path)
export WINEPATH
orvex_wine_stop
rm -rf "$WINEPREFIX"
pictures=$(mktemp -d)
trap 'orvex_wine_stop; rm -rf "$pictures"' EXIT
orvex_wine_start

# Wine's own fonts (Tahoma for "MS Shell Dlg", Marlett for the caption buttons) are not put into
# a prefix by Debian's Wine; a Windows system has them in its Fonts folder.
cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"

# "MS Shell Dlg", the dialogs' font, is Tahoma, which has no Japanese glyphs. In a Japanese
# locale Wine maps it to "MS UI Gothic", which no prefix has, and falls back to whatever CJK font
# it finds; naming the one fontconfig chooses for Japanese (scripts/install-deps.sh installs it,
# and the Linux dialogs use it too) keeps the pictures the same on any machine. Wine reads the
# substitutes when a program starts.
substitutes='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
japanese_font=$(fc-match -f '%{family[0]}' 'sans-serif:lang=ja')
for language in en ja; do
  if [[ $language == ja ]]; then
    locale=ja_JP.UTF-8
    for font in "MS Shell Dlg" "MS Shell Dlg 2" "MS UI Gothic"; do
      wine reg add "$substitutes" /v "$font" /t REG_SZ /d "$japanese_font" /f >/dev/null
    done
  else
    locale=en_US.UTF-8
  fi
  LC_ALL=$locale wine orvex_windows_dialog_screenshots.exe "Z:${pictures//\//\\}"
done

# The program writes plain PPM files; PNG with nothing but Python's standard library.
python3 - "$pictures" docs/images <<'PY'
import pathlib, struct, sys, zlib

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

source, target = map(pathlib.Path, sys.argv[1:])
for ppm in sorted(source.glob("*.ppm")):
    raw = ppm.read_bytes()
    magic, size, maximum, pixels = raw.split(b"\n", 3)
    width, height = map(int, size.split())
    assert magic == b"P6" and maximum == b"255" and len(pixels) == width * height * 3
    row = width * 3
    scanlines = b"".join(b"\0" + pixels[y * row:(y + 1) * row] for y in range(height))
    png = target / (ppm.stem + ".png")
    png.write_bytes(b"\x89PNG\r\n\x1a\n" +
                    chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
                    chunk(b"IDAT", zlib.compress(scanlines, 9)) + chunk(b"IEND", b""))
    print("wrote", png)
PY
