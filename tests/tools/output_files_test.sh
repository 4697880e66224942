#!/usr/bin/env bash
# orvex checks every file it writes: a snapshot that cannot be written (full disk, missing
# directory) or output that cannot be printed ends with status 1, the error's name and the path.
set -u
source "$(dirname "$0")/tool_test_support.sh"

# expect_failure WHAT TEXT COMMAND...: the command exits 1 and says TEXT on stderr.
expect_failure() {
  local what=$1 text=$2
  shift 2
  "$@" >"$dir/stdout" 2>"$dir/stderr"
  local status=$?
  [[ $status == 1 ]] || fail "$what: exit status $status"
  grep -qF -- "$text" "$dir/stderr" || fail "$what: no '$text' in: $(cat "$dir/stderr")"
}

for extension in png bmp csv; do
  ln -s /dev/full "$dir/full.$extension"
  expect_failure "snap to a full disk ($extension)" \
    "cannot write $dir/full.$extension: No space left on device (ENOSPC)" \
    "$orvex" snap --color-mode 8 --out "$dir/full.$extension"
done
expect_failure "CSV into a missing directory" \
  "cannot write $dir/none/x.csv: No such file or directory (ENOENT)" \
  "$orvex" snap --out "$dir/none/x.csv"
expect_failure "listing to a full disk" \
  "cannot write the standard output: No space left on device (ENOSPC)" \
  bash -c '"$0" devices >/dev/full' "$orvex"

# Files that can be written still are, whole.
for extension in png bmp csv; do
  "$orvex" snap --color-mode 8 --geometry 1320,39,64,1024,0,8 --out "$dir/ok.$extension" \
    >/dev/null 2>&1 || fail "snap to $dir/ok.$extension failed"
done
[[ $(wc -l <"$dir/ok.csv") == 8 ]] || fail "the CSV file has $(wc -l <"$dir/ok.csv") rows, not 8"

((failures == 0)) || exit 1
echo "all output checks passed"
