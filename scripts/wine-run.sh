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

# A fault in the program reaches Wine as a Windows exception and ends it with that exception's
# code. Wine's own process dies by a signal only when Wine itself fails, which this Wine does
# now and then in programs that end within milliseconds of starting, after their last line is
# written. Such a run says nothing of the program, so with ORVEX_WINE_RERUN_ON_SIGNAL=1 (the
# suite's setting: a test may run twice, an application of yours should not) it runs once more.
run_wine() {
  local attempt rc attempts=1
  [[ ${ORVEX_WINE_RERUN_ON_SIGNAL:-0} == 1 ]] && attempts=2
  for ((attempt = 1; attempt <= attempts; attempt++)); do
    wine "$@"
    rc=$?
    ((rc == 134 || rc == 135 || rc == 139)) || return "$rc"
    echo "wine-run: Wine died of signal $((rc - 128)) running $1 (attempt $attempt of $attempts)" >&2
  done
  return "$rc"
}

if orvex_wine_running; then
  run_wine "$@"
  exit
fi

trap orvex_wine_stop EXIT
orvex_wine_start || exit 1
run_wine "$@"
