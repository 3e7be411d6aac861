#!/usr/bin/env bash
# Checks vorn as the projects that build against it see it, from a built
# tree (default build/): `cmake --install` into a scratch prefix gives the
# versioned shared library, the archive, the header, the pkg-config file and
# the CMake package, all with the header's version; the word counter example
# is built against that installed copy with pkg-config and with
# find_package, shared and static, and prints what the tree's own build
# prints; then the .deb made by CPack is installed with apt-get, used through
# pkg-config the same way, and removed again.
#
#   bash tools/package_check.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
build=$(cd "${1:-build}" && pwd)
cc=${CC:-cc}
scratch=$(mktemp -d)
sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
deb_installed=""
cleanup() {
  if [ -n "$deb_installed" ]; then $sudo_cmd dpkg --purge vorn >/dev/null; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

ok() { echo "ok    $*"; }
quietly() {  # runs a command, showing its output only when it fails
  "$@" >"$scratch/log" 2>&1 || { cat "$scratch/log"; fail "$*"; }
}
fail() {
  echo "FAIL  $*"
  exit 1
}
quietly cmake --build "$build" -j2 --target vorn vorn_static example_wordfreq
# The example prints what the tree's own build prints (a full count of the bundled text).
text=$repo/examples/data/text.txt
want=$("$build/examples/wordfreq" "$text")
same_output() {  # program, what it is
  [ "$("$1" "$text")" = "$want" ] || fail "$2: output differs from the tree's own build"
  ok "$2"
}
header_version() { sed -n "s/^#define VORN_VERSION_$1 \([0-9]*\)$/\1/p" "$repo/include/vorn.h"; }
major=$(header_version MAJOR)
version=$major.$(header_version MINOR).$(header_version PATCH)

echo "== install into a scratch prefix (vorn $version)"
prefix=$scratch/prefix
quietly cmake --install "$build" --prefix "$prefix"
libdir=$(dirname "$(find "$prefix" -name "libvorn.so.$version")")
[ "$(readlink "$libdir/libvorn.so")" = "libvorn.so.$major" ] &&
  [ "$(readlink "$libdir/libvorn.so.$major")" = "libvorn.so.$version" ] || fail "library links"
readelf -d "$libdir/libvorn.so.$version" | grep -q "SONAME.*\[libvorn.so.$major\]" || fail "SONAME"
ok "libvorn.so -> libvorn.so.$major -> libvorn.so.$version, SONAME libvorn.so.$major"
for f in "$libdir/libvorn.a" "$prefix/include/vorn.h" "$libdir/pkgconfig/vorn.pc" "$libdir/cmake/vorn/vornConfig.cmake"; do
  [ -f "$f" ] || fail "missing ${f#"$prefix"/}"
done
ok "libvorn.a, vorn.h, vorn.pc, vornConfig.cmake"

echo "== pkg-config"
export PKG_CONFIG_PATH=$libdir/pkgconfig
[ "$(pkg-config --modversion vorn)" = "$version" ] || fail "pkg-config version"
ok "pkg-config --modversion vorn: $version"
# shellcheck disable=SC2046
$cc -o "$scratch/wordfreq_pc" "$repo/examples/wordfreq.c" $(pkg-config --cflags --libs vorn) -Wl,-rpath,"$libdir"
same_output "$scratch/wordfreq_pc" "cc wordfreq.c \$(pkg-config --cflags --libs vorn)"
static_libs=$(pkg-config --static --libs vorn)
# shellcheck disable=SC2046
$cc -o "$scratch/wordfreq_pc_static" "$repo/examples/wordfreq.c" $(pkg-config --cflags vorn) ${static_libs/-lvorn/-l:libvorn.a}
readelf -d "$scratch/wordfreq_pc_static" | grep -q "NEEDED.*libvorn" && fail "static program needs libvorn.so"
same_output "$scratch/wordfreq_pc_static" "static: cc wordfreq.c -l:libvorn.a ${static_libs#*-lvorn }"

echo "== find_package(vorn)"
mkdir -p "$scratch/consumer"
cat >"$scratch/consumer/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.20)
project(vorn_consumer C)
find_package(vorn $version REQUIRED)
add_executable(wordfreq_shared "$repo/examples/wordfreq.c")
target_link_libraries(wordfreq_shared PRIVATE vorn::vorn)
add_executable(wordfreq_static "$repo/examples/wordfreq.c")
target_link_libraries(wordfreq_static PRIVATE vorn::vorn_static)
CMAKE
quietly cmake -S "$scratch/consumer" -B "$scratch/consumer/build" -DCMAKE_PREFIX_PATH="$prefix"
quietly cmake --build "$scratch/consumer/build"
same_output "$scratch/consumer/build/wordfreq_shared" "vorn::vorn in a C project"
same_output "$scratch/consumer/build/wordfreq_static" "vorn::vorn_static in a C project"

echo "== Debian package"
quietly cpack -G DEB -B "$scratch/deb" --config "$build/CPackConfig.cmake"
deb=$(echo "$scratch"/deb/vorn_*.deb)
contents=$(dpkg-deb -c "$deb")
for f in "libvorn.so.$version" "libvorn.so.$major -> libvorn.so.$version" libvorn.a include/vorn.h pkgconfig/vorn.pc; do
  grep -qF "$f" <<<"$contents" || fail "$(basename "$deb") lacks $f"
done
ok "$(basename "$deb"): runtime, archive, header, pkg-config file, CMake package"
if dpkg-query -W -f='${Status}' vorn 2>/dev/null | grep -q 'ok installed'; then
  echo "skip  installing the package: a vorn package is already installed here"
  exit 0
fi
quietly $sudo_cmd env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" </dev/null
deb_installed=yes
unset PKG_CONFIG_PATH
# shellcheck disable=SC2046
$cc -o "$scratch/wordfreq_deb" "$repo/examples/wordfreq.c" $(pkg-config --cflags --libs vorn)
same_output "$scratch/wordfreq_deb" "apt-get install ./$(basename "$deb"); cc wordfreq.c \$(pkg-config --cflags --libs vorn)"
echo "package check passed"
