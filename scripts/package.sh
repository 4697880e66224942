#!/usr/bin/env bash
# Makes the packages and checks what is in them.
#
#   scripts/package.sh           the Debian package, from a build of its own (build/package,
#                                installed under /usr, with the reference), then unpacked into a
#                                scratch root and used there as an application developer would
#                                (tests/install/install_test.sh --deb)
#   scripts/package.sh windows   the zip of the Windows DLL, its import library and the headers,
#                                from the windows preset's build (run .ci/windows.sh first)
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-debian}
jobs=${ORVEX_JOBS:-2}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Every path of `listing` (one a line) that matches no line of `expected` (extended regexps),
# and every line of `expected` that no path matches.
check_listing() {
  local listing=$1 expected=$2 pattern ok=1
  while IFS= read -r pattern; do
    grep -qE "^$pattern\$" "$listing" || { echo "missing: $pattern" >&2; ok=0; }
  done <"$expected"
  if grep -vxEf "$expected" "$listing" >&2; then
    echo "(unexpected, above)" >&2
    ok=0
  fi
  ((ok))
}

# cpack stages the files below the folder it writes to: a folder of its own keeps the staged
# copies out of the build tree, where they would be found beside the built ones.
make_package() {
  local build=$1 generator=$2 name=$3
  (cd "$build" && cpack -G "$generator" -B "$work/cpack" >/dev/null)
  [[ -f $work/cpack/$name ]] || fail "cpack made no $name"
  mv "$work/cpack/$name" "$build/"
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
version=$(sed -nE 's/^project\(OrvexSdk_QX218 VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)

if [[ $what == windows ]]; then
  build=build/windows
  [[ -f $build/CPackConfig.cmake ]] || fail "no $build: run .ci/windows.sh first"
  make_package "$build" ZIP "orvex-sdk-$version-win32.zip"
  zip=$build/orvex-sdk-$version-win32.zip
  top=orvex-sdk-$version-win32
  cmake -E tar tf "$zip" | grep -v '/$' | sort >"$work/listing"
  cat >"$work/expected" <<EOF
$top/bin/OrvexSdk_QX218\.dll
$top/include/OrvexSdk_QX218\.h
$top/include/orvex/errors\.h
$top/include/orvex/orvex\.hpp
$top/lib/cmake/OrvexSdk/OrvexSdk(Config|ConfigVersion|Targets|Targets-release)\.cmake
$top/lib/libOrvexSdk_QX218\.dll\.a
EOF
  check_listing "$work/listing" "$work/expected" || fail "$zip holds other files (above)"
  (cd "$work" && cmake -E tar xf "$OLDPWD/$zip")
  tools/check_windows_exports.sh "$work/$top/bin/OrvexSdk_QX218.dll" src/api/OrvexSdk_QX218.def \
    >/dev/null || fail "the DLL in $zip does not export the .def file's list"
  echo "OK: $zip:"
  sed 's/^/  /' "$work/listing"
  exit 0
fi

[[ $what == debian ]] || fail "usage: scripts/package.sh [debian|windows]"
build=build/package
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DORVEX_BUILD_TESTS=OFF -DORVEX_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --parallel "$jobs"
cmake --build "$build" --target docs
arch=$(dpkg --print-architecture)
make_package "$build" DEB "orvex-sdk_${version}_$arch.deb"  # stripped
deb=$build/orvex-sdk_${version}_$arch.deb

dpkg-deb -I "$deb" | tee "$work/info"
for field in "Package: orvex-sdk" "Version: $version" "Architecture: $arch"; do
  grep -q "^ $field\$" "$work/info" || fail "the package's control has no '$field'"
done
for dependency in libc6 libpng16-16 libx11-6 libstdc++6; do
  grep "^ Depends: " "$work/info" | grep -qF " $dependency " ||
    fail "the package does not depend on $dependency"
done
# The libraries are in the system's library directory: the loader's cache is renewed.
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./postinst | grep -q ldconfig ||
  fail "the package does not run ldconfig"

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo "$arch-linux-gnu")
lib="\./usr/lib/$multiarch"
doc='\./usr/share/doc/orvex-sdk'
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort >"$work/listing"
cat >"$work/expected" <<EOF
\./usr/bin/orvex
\./usr/include/OrvexSdk_QX218\.h
\./usr/include/orvex/(errors|orvex|platform|platform_system|virtual_camera)\.hp?p?
$lib/libOrvex(Sdk_QX218|VirtualCamera|Platform)\.so(\.${version%%.*}|\.$version)?
$lib/pkgconfig/orvex-(sdk|virtual-camera|platform)\.pc
$lib/cmake/OrvexSdk/OrvexSdk(Config|ConfigVersion|Targets|Targets-relwithdebinfo)\.cmake
\./usr/lib/python3/dist-packages/orvex/(__init__|_installed|_library|camera|errors|virtual)\.py
$doc/examples/(CMakeLists\.txt|[a-z0-9_]+\.c|opencv_view\.cpp|python/[a-z0-9_]+\.py)
$doc/html/.+
EOF
check_listing "$work/listing" "$work/expected" || fail "$deb holds other files (above)"
grep -q "share/doc/orvex-sdk/html/index.html" "$work/listing" || fail "the reference is missing"

tests/install/install_test.sh --deb "$deb" --build "$PWD/$build" --config RelWithDebInfo \
  --cc "$(command -v cc)" --cxx "$(command -v c++)" --generator Ninja \
  --cpp-program tests/install/cpp_snapshot.cpp --version "$version" \
  --python "$(command -v /usr/bin/python3 || true)" --reference docs/index.md
echo "OK: $deb ($(du -k "$deb" | cut -f1) kB, $(wc -l <"$work/listing") files)"
