#!/usr/bin/env bash
# CI section "windows": the Windows suite under Wine (scripts/test-windows.sh cross-builds the
# 32-bit DLL, the virtual camera driver, the two Windows libraries and the tests, starts a
# fresh prefix with the driver and runs them), then the export and import tables of what
# ships: every DLL exports exactly the names of its .def file and imports only system DLLs;
# the driver imports only the kernel's.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

scripts/test-windows.sh

echo "== windows: exports and imports"
bin=build/windows/bin
tools/check_windows_exports.sh "$bin/OrvexSdk_QX218.dll" src/api/OrvexSdk_QX218.def
tools/check_windows_exports.sh "$bin/OrvexVirtualCamera.dll" \
  virtual_camera/windows/OrvexVirtualCamera.def
tools/check_windows_exports.sh "$bin/OrvexPlatform.dll" platform_lib/win32/OrvexPlatform.def

# Applications link the DLL through its import library.
import_lib=$(find build/windows -name libOrvexSdk_QX218.dll.a -type f -size +0 | head -n 1)
if [[ -z $import_lib ]]; then
  echo "FAIL: no import library libOrvexSdk_QX218.dll.a below build/windows" >&2
  exit 1
fi

driver=$bin/OrvexVirtualCamera.sys
imports=$(i686-w64-mingw32-objdump -p "$driver" | awk '/^[ \t]*DLL Name:/ { print tolower($3) }' |
  sort -u | paste -sd ' ')
if [[ $imports != "hal.dll ntoskrnl.exe" ]]; then
  echo "FAIL: $driver imports '$imports', not just hal.dll and ntoskrnl.exe" >&2
  exit 1
fi
echo "OK: import library $import_lib; $driver imports $imports"

scripts/package.sh windows  # the zip of the DLL, its import library and the headers
