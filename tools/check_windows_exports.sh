#!/usr/bin/env bash
# Checks a cross-built DLL against its .def file:
#   - the export table holds exactly the names of the .def, undecorated (no @N suffix, no
#     leading underscore), nothing more and nothing less;
#   - the DLL imports only DLLs of the system, never a MinGW runtime (libgcc, libstdc++,
#     libwinpthread), which the toolchain links statically.
# Usage: check_windows_exports.sh <dll> <def>
# Environment: OBJDUMP (default i686-w64-mingw32-objdump); ORVEX_EXTRA_SYSTEM_DLLS, more DLL
# names (space-separated) to accept as system DLLs.
# shellcheck disable=SC2001 # sed prefixes every line of a list
set -euo pipefail
set -o noglob

if [[ $# -ne 2 ]]; then
  echo "usage: $0 <dll> <def>" >&2
  exit 2
fi
dll=$1
def=$2
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

for file in "$dll" "$def"; do
  if [[ ! -f $file ]]; then
    echo "error: $file: no such file" >&2
    exit 2
  fi
done
if ! command -v "$objdump" >/dev/null 2>&1; then
  echo "error: $objdump not found" >&2
  exit 2
fi

# DLLs that every Windows installation has (compared case-insensitively).
system_dlls="kernel32.dll user32.dll gdi32.dll advapi32.dll winmm.dll msvcrt.dll comctl32.dll
  comdlg32.dll shell32.dll ole32.dll oleaut32.dll ntdll.dll ws2_32.dll version.dll
  ${ORVEX_EXTRA_SYSTEM_DLLS:-}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$objdump" -p "$dll" >"$work/headers"

# Names the .def exports: the lines after EXPORTS, without comments, ordinals, "=internal"
# aliases and keywords such as DATA or NONAME.
awk '
  { sub(/;.*/, "") }
  /^[ \t]*$/ { next }
  toupper($1) == "EXPORTS" { inside = 1; $1 = ""; $0 = $0; if (NF == 0) next }
  toupper($1) ~ /^(LIBRARY|NAME|DESCRIPTION|STACKSIZE|HEAPSIZE|SECTIONS|VERSION)$/ {
    inside = 0; next
  }
  inside {
    name = $1
    sub(/=.*/, "", name)
    if (name != "") print name
  }
' "$def" | LC_ALL=C sort >"$work/def_names"

# Names of the DLL's export table: the "[Ordinal/Name Pointer] Table" lines "[   N] name".
awk '
  /^\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
  inside && /^[ \t]*$/ { inside = 0; next }
  inside && /^[ \t]*\[ *[0-9]+\]/ { sub(/^[ \t]*\[ *[0-9]+\][ \t]*/, ""); print }
' "$work/headers" | LC_ALL=C sort >"$work/dll_names"

# DLLs named in the import table.
awk '/^[ \t]*DLL Name:/ { print $3 }' "$work/headers" | LC_ALL=C sort -u >"$work/imports"

status=0

if [[ ! -s $work/def_names ]]; then
  echo "FAIL: $def lists no exports" >&2
  status=1
fi

duplicates=$(uniq -d "$work/def_names")
if [[ -n $duplicates ]]; then
  echo "FAIL: $def lists these names more than once:" >&2
  sed 's/^/  /' <<<"$duplicates" >&2
  status=1
fi

decorated=$(grep -E '^_|@' "$work/dll_names" || true)
if [[ -n $decorated ]]; then
  echo "FAIL: decorated export names (stdcall @N or a leading underscore):" >&2
  sed 's/^/  /' <<<"$decorated" >&2
  status=1
fi

missing=$(LC_ALL=C comm -23 <(LC_ALL=C sort -u "$work/def_names") <(LC_ALL=C sort -u "$work/dll_names"))
extra=$(LC_ALL=C comm -13 <(LC_ALL=C sort -u "$work/def_names") <(LC_ALL=C sort -u "$work/dll_names"))
if [[ -n $missing || -n $extra ]]; then
  echo "FAIL: the export table of $dll differs from $def" >&2
  echo "--- $def" >&2
  echo "+++ $dll" >&2
  if [[ -n $missing ]]; then sed 's/^/-/' <<<"$missing" >&2; fi
  if [[ -n $extra ]]; then sed 's/^/+/' <<<"$extra" >&2; fi
  status=1
fi

foreign=()
while read -r import; do
  [[ -z $import ]] && continue
  lower=${import,,}
  found=0
  for allowed in $system_dlls; do
    if [[ $lower == "${allowed,,}" ]]; then
      found=1
      break
    fi
  done
  ((found)) || foreign+=("$import")
done <"$work/imports"
if ((${#foreign[@]})); then
  echo "FAIL: $dll imports DLLs that are not part of the system:" >&2
  printf '  %s\n' "${foreign[@]}" >&2
  status=1
fi

if ((status == 0)); then
  echo "OK: $dll exports the $(wc -l <"$work/dll_names") names of $(basename "$def")," \
    "undecorated; imports: $(paste -sd ' ' "$work/imports")"
fi
exit $status
