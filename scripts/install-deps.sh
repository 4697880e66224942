#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the Windows cross-build need, when they
# are missing. Safe to run again. ORVEX_WITH_WINDOWS=0 leaves the cross compiler out;
# ORVEX_WITH_WINE=1 adds Wine with its 32-bit part, to run the Windows build
# (scripts/test-windows.sh); ORVEX_WITH_WINE_FONTS=1 adds Wine's own fonts as well (the pictures
# of scripts/windows-dialog-screenshots.sh; the suite does without them).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libpng-dev libx11-dev libxext-dev libxcb1-dev libxcb-shm0-dev libgtk-3-dev xvfb xauth
  # Dialogs on an X display: FLTK's static archive and what it draws with, a font with Japanese
  # glyphs (without one, drawn dialogs are English), and xdotool for the tests' pointer.
  libfltk1.3-dev libxft-dev libfontconfig-dev libxrender-dev libxfixes-dev libxcursor-dev
  libxinerama-dev fonts-ipafont-gothic xdotool
  doxygen python3 python3-numpy python3-pytest python3-xlib python3-pip python3-venv
  clang libclang-rt-14-dev
  dpkg-dev file
  # The performance gate counts instructions under callgrind; the benchmarks measure OpenCV's
  # counterparts beside ours.
  valgrind libopencv-core-dev libopencv-imgproc-dev
)
if [[ "${ORVEX_WITH_WINDOWS:-1}" == 1 || "${ORVEX_WITH_WINE:-0}" == 1 ]]; then
  packages+=(g++-mingw-w64-i686)
fi
if [[ "${ORVEX_WITH_WINE:-0}" == 1 ]]; then
  packages+=(wine wine32:i386 wine64)
fi
if [[ "${ORVEX_WITH_WINE_FONTS:-0}" == 1 ]]; then
  packages+=(fonts-wine)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]} > 0)); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  # Wine's 32-bit part comes from the i386 architecture.
  if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
    --no-install-recommends \
    "${missing[@]}"
fi
