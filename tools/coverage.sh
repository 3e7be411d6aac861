#!/usr/bin/env bash
# Line coverage of the library (src/) by the whole test command: builds an
# unoptimised tree with gcc's --coverage instrumentation in build-cov, runs
# every ctest test there, and prints gcovr's per-file table and its summary.
# Exits non-zero when the library's line coverage is below COVERAGE_MIN.
#
#   COVERAGE_MIN    lowest acceptable line coverage in percent (default 95)
#   COVERAGE_BUILD  build folder (default build-cov)
#   COVERAGE_JOBS   parallel ctest jobs (default 2)
# Takes some 10 minutes on two cores, most of it the differential run.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
min=${COVERAGE_MIN:-95}
build=$repo/${COVERAGE_BUILD:-build-cov}
jobs=${COVERAGE_JOBS:-2}

bash tools/deps.sh gcovr

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVORN_TESTS=ON -DVORN_SANITIZE=OFF \
  -DCMAKE_C_FLAGS="--coverage -O0" -DCMAKE_CXX_FLAGS="--coverage -O0" \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$build" -j2

# Counts from an earlier run would add up with this one's.
find "$build" -name '*.gcda' -delete
status=0
(cd "$build" && ctest -j"$jobs" --output-on-failure </dev/null) || status=$?
if [ $status -ne 0 ]; then
  echo "coverage: some tests failed (ctest exit $status); the figures below count what ran"
fi

# The table lists every library file with its lines, lines run and percent;
# the summary's "lines:" figure is the one the threshold is checked against.
gcovr --root "$repo" --object-directory "$build" --filter "$repo/src/" \
  --gcov-ignore-parse-errors --sort-percentage --txt "$build/coverage.txt" \
  --print-summary --fail-under-line "$min" || cover=$?
cat "$build/coverage.txt"
if [ "${cover:-0}" -ne 0 ]; then
  echo "coverage: line coverage of src/ is below ${min}%"
  exit 1
fi
exit $status
