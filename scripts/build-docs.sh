#!/usr/bin/env bash
# Builds the reference documentation into docs/html (open docs/html/index.html), or into
# OUT/html when a folder OUT is given (the build's `docs` target, which the packages install).
# Fails on any Doxygen warning, an undocumented export among them.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs}
if ! command -v doxygen >/dev/null 2>&1; then
  echo "doxygen is missing: scripts/install-deps.sh installs it" >&2
  exit 1
fi
mkdir -p "$out"
rm -rf "$out/html"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! { cat docs/Doxyfile; echo "OUTPUT_DIRECTORY = $out"; } | doxygen - 2>"$log"; then
  cat "$log" >&2
  echo "FAIL: the documentation has warnings (above)" >&2
  exit 1
fi
if [[ -s $log ]]; then
  cat "$log" >&2
  echo "FAIL: the documentation has warnings (above)" >&2
  exit 1
fi
# Every export of the library's export list has an entry of its own (the numbered settings'
# exports come from a macro, which Doxygen must have expanded).
missing=()
while read -r name; do
  grep -qE "class=\"memname\">.* $name </td>" "$out/html/OrvexSdk__QX218_8h.html" || missing+=("$name")
done < <(grep -oE '^Orvex_[A-Za-z0-9_]+' src/api/OrvexSdk_QX218.def)
if ((${#missing[@]})); then
  echo "FAIL: exports without an entry in the reference: ${missing[*]}" >&2
  exit 1
fi
echo "$out/html/index.html: $(find "$out/html" -name '*.html' | wc -l) pages, no warnings"
