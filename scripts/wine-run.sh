#!/usr/bin/env bash
# Runs a Windows program under Wine with the camera's virtual driver and the build's DLLs:
#   scripts/wine-run.sh PROGRAM [ARGS...]
# The program finds OrvexSdk_QX218.dll, OrvexVirtualCamera.dll and OrvexPlatform.dll of
# build/windows/bin. When no session runs for the prefix (scripts/test-windows.sh keeps one
# for the suite), one is started for this program and ended after it; its exit code is the
# program's.
set -uo pipefail

if (($# < 1)); then
  echo "usage: $0 PROGRAM [ARGS...]" >&2
  exit 2
fi

# shellcheck source=scripts/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

if [[ -n ${WINEPATH:-} ]]; then
  export WINEPATH="$(orvex_wine_path);$WINEPATH"
else
  export WINEPATH=$(orvex_wine_path)
fi

if orvex_wine_running; then
  exec wine "$@"
fi

trap orvex_wine_stop EXIT
orvex_wine_start || exit 1
wine "$@"
