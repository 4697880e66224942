#!/usr/bin/env bash
# The Windows suite under Wine, from scratch: installs what is missing (MinGW-w64, Wine with its
# 32-bit part, Xvfb), cross-builds the 32-bit camera DLL, the virtual camera driver, the two
# Windows libraries and the tests (the windows preset), makes a fresh 32-bit prefix with the
# driver started (scripts/wine-env.sh), and runs every Windows test in it. Ends with ctest's
# summary. ORVEX_KEEP_PREFIX=1 reuses the prefix of an earlier run.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
ORVEX_WITH_WINE=1 scripts/install-deps.sh
echo "== windows: dependencies $((SECONDS - start)) s"

cmake --preset windows >/dev/null
cmake --build --preset windows
echo "== windows: build $((SECONDS - start)) s"

# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
orvex_wine_stop
if [[ ${ORVEX_KEEP_PREFIX:-0} != 1 ]]; then
  rm -rf "$WINEPREFIX"
fi
trap orvex_wine_stop EXIT
orvex_wine_start
echo "== windows: prefix with the driver started $((SECONDS - start)) s"

# A test in which Wine itself dies of a signal runs once more (scripts/wine-run.sh).
ORVEX_WINE_RERUN_ON_SIGNAL=1 ctest --preset windows
