#!/usr/bin/env bash
# Builds vorn and runs the whole suite, with warnings as errors: a Release
# build with g++, then the install and packaging checks on it (scratch
# prefix, pkg-config, find_package, the .deb installed and used); a build
# with clang-14 in a folder outside the checkout (a shorter differential
# run); a bounded fuzzing run of every fuzz target; the example programs
# under valgrind's memcheck; and last the suite under AddressSanitizer and
# UndefinedBehaviorSanitizer.  lighttpd and curl serve the CGI example in
# the kit test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh clang-14 pkg-config dpkg-dev file lighttpd curl

run_suite() {
  local dir=$1; shift
  echo "== $dir"
  cmake -S . -B "$dir" -DVORN_TESTS=ON -DVORN_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j2
  (cd "$dir" && ctest --output-on-failure -j2 </dev/null)
}

run_suite build -DCMAKE_BUILD_TYPE=Release
echo "== install and packages"
bash tools/package_check.sh build
# One folder per checkout, kept between runs.
outside=${TMPDIR:-/tmp}/vorn-clang-$(pwd | md5sum | cut -c1-8)
run_suite "$outside" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DVORN_DIFFERENTIAL_PROGRAMS=2000
echo "== fuzzing"
FUZZ_SECONDS=${FUZZ_SECONDS:-20} bash tools/fuzz.sh
echo "== memcheck"
bash tools/memcheck.sh
# The sanitizer suite runs last, so that its CTest summary closes the output.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DVORN_SANITIZE=ON
