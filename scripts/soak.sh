#!/usr/bin/env bash
# Runs the fault soak for SOAK_SECONDS (90 by default) in a build: asan-ubsan by default, where
# LeakSanitizer checks for leaks as it ends; pass another preset (tsan, default) to use that one.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-asan-ubsan}"
seconds="${SOAK_SECONDS:-90}"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target orvex_soak
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
"build/$preset/tests/soak/orvex_soak" --seconds "$seconds"
