#!/usr/bin/env bash
# check_linux_exports.sh <shared library> <.def file>: the library's dynamic symbol table must
# define exactly the functions the .def lists.
set -euo pipefail
library=$1
def=$2
expected=$(grep -E '^Orvex_[A-Za-z0-9_]+$' "$def" | sort)
actual=$(nm -D --defined-only "$library" | awk '{print $3}' | sed 's/@.*//' | sort)
if [[ "$expected" != "$actual" ]]; then
  echo "exported symbols differ from $def (< expected, > exported):"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
echo "$(echo "$actual" | wc -l) exports, as listed"
