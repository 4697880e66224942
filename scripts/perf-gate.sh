#!/usr/bin/env bash
# The performance gate: instruction counts, which stay the same from run to run however busy
# the machine is, of each main kernel and one pipeline frame per ColorType (bench/workloads.cpp,
# one thread, processor features pinned to SSE2 and AVX2) under valgrind's callgrind, against
# the committed baseline bench/instruction_counts.txt. Fails when a count grows by more than
# 10 %, or a workload has no count on one side.
#
#   scripts/perf-gate.sh            compare with the baseline
#   scripts/perf-gate.sh --update   write this build's counts as the new baseline (on purpose:
#                                   after making something faster, or accepting a slowdown)
set -euo pipefail
cd "$(dirname "$0")/.."

update=0
if [[ "${1:-}" == "--update" ]]; then
  update=1
elif [[ $# -gt 0 ]]; then
  echo "usage: $0 [--update]" >&2
  exit 2
fi

baseline=bench/instruction_counts.txt
limit_percent=10

cmake --preset default >/dev/null
cmake --build --preset default --target orvex_workloads >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" \
  --toggle-collect='*Measure_*' build/default/bench/orvex_workloads >"$work/valgrind.log" 2>&1 ||
  { cat "$work/valgrind.log" >&2; exit 1; }
# Inclusive counts of the Measure_ functions: "<count> (<percent>) <file>:...Measure_<name>(...";
# a function may be listed once a source file its code came from, the largest is its own.
callgrind_annotate --inclusive=yes --threshold=100 --auto=no "$work/callgrind.out" |
  sed -nE 's/^ *([0-9,]+) .*::Measure_([A-Za-z0-9_]+)\(.*/\2 \1/p' | tr -d ',' |
  awk '$2 > max[$1] { max[$1] = $2 } END { for (n in max) print n, max[n] }' |
  sort >"$work/counts.txt"

expected=$(build/default/bench/orvex_workloads --list | sed 's/^Measure_//' | sort)
if [[ "$(cut -d' ' -f1 "$work/counts.txt")" != "$expected" ]]; then
  echo "perf-gate: not every workload was counted:" >&2
  diff <(echo "$expected") <(cut -d' ' -f1 "$work/counts.txt") >&2 || true
  exit 1
fi

if ((update)); then
  {
    echo "# Instructions of one run of each workload of bench/workloads.cpp under callgrind"
    echo "# (scripts/perf-gate.sh --update), default preset, $(c++ --version | head -1)."
    cat "$work/counts.txt"
  } >"$baseline"
  echo "perf-gate: baseline written to $baseline"
  exit 0
fi

status=0
printf '%-36s %14s %14s %8s\n' workload baseline now change
while read -r name count; do
  base=$(awk -v n="$name" '$1 == n { print $2 }' "$baseline")
  if [[ -z "$base" ]]; then
    printf '%-36s %14s %14s %8s\n' "$name" - "$count" new
    echo "perf-gate: $name has no baseline (scripts/perf-gate.sh --update adds it)" >&2
    status=1
    continue
  fi
  change=$(awk -v a="$base" -v b="$count" 'BEGIN { printf "%+.1f%%", (b - a) * 100 / a }')
  printf '%-36s %14s %14s %8s\n' "$name" "$base" "$count" "$change"
  if awk -v a="$base" -v b="$count" -v l="$limit_percent" 'BEGIN { exit !(b > a * (1 + l / 100)) }'; then
    echo "perf-gate: $name grew by more than $limit_percent % ($base -> $count)" >&2
    status=1
  fi
done <"$work/counts.txt"
while read -r name _; do
  if ! grep -q "^$name " "$work/counts.txt"; then
    echo "perf-gate: $name is in the baseline but no longer measured" >&2
    status=1
  fi
done < <(grep -v '^#' "$baseline")
exit $status
