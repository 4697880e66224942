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
  # A mirror caught mid-sync serves an index of the wrong size for a while; apt then keeps the
  # lists it had, which still serve the packages below, so a failed refresh is retried and then
  # left to the install to judge.
  for attempt in 1 2 3; do
    "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq && break
    echo "apt-get update failed (attempt $attempt of 3)" >&2
    ((attempt < 3)) && sleep 15
  done
  install=("${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get
    -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends)
  # The 32-bit and 64-bit copies of a shared library must be the same version. When the
  # security suite's i386 index could not be had, its amd64 updates have no i386 twin, and only
  # the release's own versions can be installed side by side.
  if ! "${install[@]}" "${missing[@]}"; then
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    echo "Installing again from $codename's own versions" >&2
    "${install[@]}" -t "$codename" "${missing[@]}"
  fi
fi
