#!/usr/bin/env bash
# CI section "windows": cross-builds the 32-bit Windows DLL with MinGW-w64 (the `windows`
# preset) and checks its export and import tables against the .def file.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

build_dir=build/windows
def_file=src/api/OrvexSdk_QX218.def
jobs=${ORVEX_JOBS:-2}

echo "== windows: toolchain"
missing=()
command -v i686-w64-mingw32-g++-posix >/dev/null 2>&1 || missing+=(g++-mingw-w64-i686)
# The dialog resource script is written by a program built for this machine.
command -v c++ >/dev/null 2>&1 || missing+=(g++)
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v ninja >/dev/null 2>&1 || missing+=(ninja-build)
if ((${#missing[@]})); then
  sudo=()
  if ((EUID != 0)); then sudo=(sudo); fi
  echo "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update
  "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
i686-w64-mingw32-g++-posix --version | head -n 1

echo "== windows: configure and build"
cmake --preset windows
cmake --build --preset windows --parallel "$jobs"

echo "== windows: exports and imports"
mapfile -t dlls < <(find "$build_dir" -name OrvexSdk_QX218.dll -type f)
if ((${#dlls[@]} != 1)); then
  echo "FAIL: expected one OrvexSdk_QX218.dll below $build_dir, found ${#dlls[@]}" >&2
  exit 1
fi
dll=${dlls[0]}
tools/check_windows_exports.sh "$dll" "$def_file"

# Applications link the DLL through its import library.
import_lib=$(find "$build_dir" -name libOrvexSdk_QX218.dll.a -type f -size +0 | head -n 1)
if [[ -z $import_lib ]]; then
  echo "FAIL: no import library libOrvexSdk_QX218.dll.a below $build_dir" >&2
  exit 1
fi
echo "OK: $dll, import library $import_lib"

scripts/package.sh windows  # the zip of the DLL, its import library and the headers
