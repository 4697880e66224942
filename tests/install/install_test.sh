#!/usr/bin/env bash
# Installs a build into a temporary prefix (or, with --deb, unpacks the Debian package into a
# scratch root) and uses it as an application developer would, in a folder outside the source
# tree, with nothing of the build tree in any path:
#   - every installed binary has its versioned SONAME and no RUNPATH but one from $ORIGIN (none
#     at all in the Debian package, whose libraries are in the system's library directory);
#   - the installed snapshot.c and the reference's first program (docs/index.md) build with
#     pkg-config (-Wall -Wextra -Werror) and run;
#   - the installed examples build with find_package(OrvexSdk), snapshot and callback_loop run;
#   - a C++ program on orvex/orvex.hpp builds with find_package and with pkg-config, and runs;
#   - the orvex command and the Python package run from the prefix.
# All of them take their frames from the installed virtual camera.
set -euo pipefail

while (($#)); do
  case $1 in
    --build) build=$2 ;;
    --config) config=$2 ;;
    --cc) cc=$2 ;;
    --cxx) cxx=$2 ;;
    --generator) generator=$2 ;;
    --cpp-program) cpp_program=$2 ;;
    --version) version=$2 ;;
    --python) python=$2 ;;
    --deb) deb=$2 ;;
    --reference) reference=$2 ;;
    *) echo "install_test: unknown argument $1" >&2; exit 2 ;;
  esac
  shift 2
done

work=$(mktemp -d "${TMPDIR:-/tmp}/orvex-install-XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
# Nothing may come from the build tree but what was installed.
unset ORVEX_LIB_DIR LD_LIBRARY_PATH PKG_CONFIG_PATH CMAKE_PREFIX_PATH PYTHONPATH
export XDG_CONFIG_HOME=$work/config

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
step() { echo "== $*"; }

if [[ -n ${deb:-} ]]; then
  step "unpack $deb into $work/root"
  dpkg-deb -x "$deb" "$work/root"
  prefix=$work/root/usr
else
  step "install into $prefix"
  cmake --install "$build" --config "$config" --prefix "$prefix" >"$work/install.log"
fi
libdir=$(dirname "$(find "$prefix" -name 'libOrvexSdk_QX218.so' | head -n 1)")
[[ -d $libdir ]] || fail "no libOrvexSdk_QX218.so installed"
major=${version%%.*}
run_env=()
orvex_pc=(pkg-config)
link_extra=()
if [[ -n ${deb:-} ]]; then
  # The package's binaries and the linker look for the libraries in the system's library
  # directory, and its pkg-config files name /usr: here all of that is in the scratch root.
  run_env=(env "LD_LIBRARY_PATH=$libdir")
  orvex_pc=(pkg-config "--define-variable=prefix=$prefix")
  link_extra=("-Wl,-rpath-link,$libdir")
fi

step "SONAMEs and RUNPATHs"
for name in OrvexSdk_QX218 OrvexVirtualCamera OrvexPlatform; do
  [[ -f $libdir/lib$name.so.$version && -L $libdir/lib$name.so.$major && -L $libdir/lib$name.so ]] ||
    fail "lib$name.so, .so.$major and .so.$version are not all installed"
  soname=$(readelf -d "$libdir/lib$name.so.$version" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
  [[ $soname == "lib$name.so.$major" ]] || fail "lib$name has the SONAME '$soname'"
done
while IFS= read -r -d '' file; do
  if [[ $(head -c 4 "$file" | od -An -c | tr -d ' ') == 177ELF ]]; then
    runpath=$(readelf -d "$file" | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]/\2/p')
    # shellcheck disable=SC2016 # the loader's own $ORIGIN, not a shell variable
    [[ -z $runpath || ($runpath == '$ORIGIN'* && -z ${deb:-}) ]] ||
      fail "$file has the search path '$runpath'"
  elif grep -q "$build" "$file"; then
    fail "$file names the build tree"
  fi
done < <(find "$prefix" -type f -print0)

step "snapshot.c with pkg-config"
app=$work/app
mkdir -p "$app"
cp "$prefix"/share/doc/orvex-sdk/examples/snapshot.c "$cpp_program" "$app"/
export PKG_CONFIG_PATH=$libdir/pkgconfig
[[ $("${orvex_pc[@]}" --modversion orvex-sdk) == "$version" ]] ||
  fail "orvex-sdk.pc is not version $version"
# shellcheck disable=SC2046 # the flags are words
"$cc" -std=c11 -Wall -Wextra -Werror "${link_extra[@]}" -o "$app/snapshot" "$app/snapshot.c" \
  $("${orvex_pc[@]}" --cflags --libs orvex-sdk) $(pkg-config --cflags --libs libpng)
# shellcheck disable=SC2046
"$cxx" -std=c++17 -Wall -Wextra -Werror "${link_extra[@]}" -o "$app/cpp_snapshot" \
  "$app/cpp_snapshot.cpp" \
  $("${orvex_pc[@]}" --cflags --libs orvex-sdk)
LD_LIBRARY_PATH=$libdir "$app/snapshot" "$app/frame.png" 640 480 | tee "$work/out"
grep -q "frame.png: 640 x 480" "$work/out" || fail "snapshot built with pkg-config took no frame"
[[ $(head -c 8 "$app/frame.png" | od -An -tx1 | tr -d ' ') == 89504e470d0a1a0a ]] ||
  fail "snapshot wrote no PNG"
LD_LIBRARY_PATH=$libdir "$app/cpp_snapshot" | tee "$work/out"
grep -q "^640 x 480" "$work/out" || fail "the C++ program built with pkg-config took no frame"
# The reference's first page opens with a whole C program: the first C block.
awk '/^~~~\{\.c\}/ {inside = 1; next} inside && /^~~~/ {exit} inside' "$reference" >"$app/frame.c"
# shellcheck disable=SC2046
"$cc" -std=c11 -Wall -Wextra -Werror "${link_extra[@]}" -o "$app/frame" "$app/frame.c" \
  $("${orvex_pc[@]}" --cflags --libs orvex-sdk)
LD_LIBRARY_PATH=$libdir "$app/frame" | tee "$work/out"
grep -q "^middle: " "$work/out" || fail "the reference's first program took no frame"
unset PKG_CONFIG_PATH

step "the installed examples with find_package(OrvexSdk)"
cp -r "$prefix"/share/doc/orvex-sdk/examples "$work/examples"
cmake -S "$work/examples" -B "$work/examples/build" -G "$generator" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_FLAGS=-Werror -DCMAKE_CXX_FLAGS=-Werror >"$work/configure.log" ||
  { cat "$work/configure.log"; fail "the examples' project does not configure"; }
cmake --build "$work/examples/build" >"$work/build.log" ||
  { cat "$work/build.log"; fail "the examples do not build against the installation"; }
"${run_env[@]}" "$work/examples/build/snapshot" "$work/examples/frame.png" 320 240 | tee "$work/out"
grep -q "frame.png: 320 x 240" "$work/out" || fail "snapshot built with find_package took no frame"
"${run_env[@]}" "$work/examples/build/callback_loop" 10 | tee "$work/out"
grep -q "10 frames" "$work/out" || fail "callback_loop built with find_package took no frames"

step "a C++ program with find_package(OrvexSdk)"
mkdir -p "$work/cpp"
cp "$cpp_program" "$work/cpp/"
cat >"$work/cpp/CMakeLists.txt" <<'PROJECT'
cmake_minimum_required(VERSION 3.16)
project(cpp_snapshot CXX)
find_package(OrvexSdk REQUIRED)
add_executable(cpp_snapshot cpp_snapshot.cpp)
set_target_properties(cpp_snapshot PROPERTIES CXX_STANDARD 17 CXX_EXTENSIONS OFF)
target_link_libraries(cpp_snapshot PRIVATE Orvex::Sdk)
PROJECT
cmake -S "$work/cpp" -B "$work/cpp/build" -G "$generator" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" >"$work/configure.log" ||
  { cat "$work/configure.log"; fail "the C++ project does not configure"; }
cmake --build "$work/cpp/build" >"$work/build.log" ||
  { cat "$work/build.log"; fail "the C++ program does not build with find_package"; }
"${run_env[@]}" "$work/cpp/build/cpp_snapshot" | tee "$work/out"
grep -q "^640 x 480" "$work/out" || fail "the C++ program built with find_package took no frame"

if [[ -x $prefix/bin/orvex ]]; then
  step "the orvex command"
  "${run_env[@]}" "$prefix/bin/orvex" info | tee "$work/out"
  grep -q "version $version " "$work/out" || fail "orvex info does not give version $version"
fi

if [[ -n $python ]] && "$python" -c "import numpy" 2>/dev/null; then
  step "the Python package"
  site=$(dirname "$(find "$prefix" -name _installed.py -path '*/orvex/*' | head -n 1)")
  PYTHONPATH=$(dirname "$site") PYTHONDONTWRITEBYTECODE=1 "$python" -c '
import orvex, orvex._library as library
print(library.sdk()._name)
with orvex.Camera() as camera:
    camera.color_mode = 32
    camera.geometry = orvex.Geometry.centered(640, 480)
    print(camera.snapshot().shape)
' | tee "$work/out"
  grep -q "^$libdir/libOrvexSdk_QX218.so" "$work/out" || fail "Python loaded another library"
  grep -q "^(480, 640, 4)" "$work/out" || fail "Python took no frame"
fi
echo "OK: installed, built against and run from $prefix"
