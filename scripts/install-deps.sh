#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the Windows cross-build need, when they
# are missing. Safe to run again.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libpng-dev libx11-dev libxext-dev libxcb1-dev libxcb-shm0-dev libgtk-3-dev xvfb xauth
  doxygen python3 python3-numpy python3-pytest python3-xlib python3-pip python3-venv
  clang libclang-rt-14-dev
)
if [[ "${ORVEX_WITH_WINDOWS:-1}" == 1 ]]; then
  packages+=(g++-mingw-w64-i686)
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
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
fi
