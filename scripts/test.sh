#!/usr/bin/env bash
# Runs the whole test suite (default build). Pass a preset name to use another one
# (asan-ubsan, tsan).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
# Everything but the X11 tests without a display, so that previews land on the headless screen
# whatever display the calling shell has; the X11 tests on a virtual X server of their own.
env -u DISPLAY ctest --preset "$preset" -LE x11
xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" ctest --preset "$preset" -L x11
