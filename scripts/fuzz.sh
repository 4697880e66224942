#!/usr/bin/env bash
# Builds the API fuzzer (clang, address and undefined-behaviour sanitizers; the fuzz preset) and
# runs it for a bounded time, FUZZ_SECONDS (120 by default), from the checked-in corpus and
# every earlier finding. A crash, leak, hang or sanitizer report stops it with a non-zero status
# and leaves the input in build/fuzz/findings/; replay it with
#   build/fuzz/fuzz/orvex_api_fuzzer build/fuzz/findings/crash-...
# and keep it in fuzz/regressions/ once fixed, where every build's tests replay it.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-120}"
scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target orvex_api_fuzzer

# The fuzzer adds what it learns to a working copy, new for every run so that replaying what
# earlier runs learnt does not eat the run's time; the checked-in corpus stays as it is.
work=build/fuzz/corpus
findings=build/fuzz/findings
rm -rf "$work"
mkdir -p "$work" "$findings"
cp fuzz/corpus/* fuzz/regressions/* "$work"/ 2>/dev/null || true

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
build/fuzz/fuzz/orvex_api_fuzzer -max_total_time="$seconds" -max_len=512 -timeout=60 \
  -rss_limit_mb=6144 -artifact_prefix="$findings/" -print_final_stats=1 "$work"
