#!/usr/bin/env bash
# Builds vorn and runs the whole suite twice: a normal optimised build, and a
# build under AddressSanitizer and UndefinedBehaviorSanitizer (the bounded
# differential run included in both); then a bounded fuzzing run of every
# fuzz target, and the example programs under valgrind's memcheck.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh

run_suite() {
  local dir=$1; shift
  echo "== $dir"
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j2
  (cd "$dir" && ctest --output-on-failure -j2 </dev/null)
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== fuzzing"
FUZZ_SECONDS=${FUZZ_SECONDS:-20} bash tools/fuzz.sh
echo "== memcheck"
bash tools/memcheck.sh
# The sanitizer suite runs last, so that its CTest summary closes the output.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DVORN_SANITIZE=ON
