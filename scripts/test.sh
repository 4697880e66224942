#!/usr/bin/env bash
# Runs the whole test suite (default build). Pass a preset name to use another one
# (asan-ubsan, tsan).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
