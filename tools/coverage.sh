#!/usr/bin/env bash
# Line coverage of the library (src/) by the whole test command: builds an
# unoptimised tree with gcc's --coverage instrumentation in build-cov, runs
# every ctest test there, and prints gcovr's per-file table and its summary.
# Exits non-zero when the library's line coverage is below COVERAGE_MIN.
#
#   COVERAGE_MIN    lowest acceptable line coverage in percent (default 95)
#   COVERAGE_BUILD  build folder (default build-cov)
#   COVERAGE_JOBS   parallel ctest jobs (default 2)
#   COVERAGE_TESTS  a ctest -R pattern: only those tests run (default all)
# Takes about 10 minutes on two cores from nothing, 6 once built; most of it
# is the differential run, unoptimised and instrumented.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
min=${COVERAGE_MIN:-95}
build=$repo/${COVERAGE_BUILD:-build-cov}
jobs=${COVERAGE_JOBS:-2}
only=()
[ -n "${COVERAGE_TESTS:-}" ] && only=(-R "$COVERAGE_TESTS")

bash tools/deps.sh gcovr

# The profiling run-time linked into the library keeps its names to itself,
# so the exports test still sees exactly the header's names.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVORN_TESTS=ON -DVORN_SANITIZE=OFF \
  -DCMAKE_C_FLAGS="--coverage -O0" -DCMAKE_CXX_FLAGS="--coverage -O0" \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage \
  -DCMAKE_SHARED_LINKER_FLAGS="--coverage -Wl,--exclude-libs,libgcov.a" >/dev/null
cmake --build "$build" -j2

# A forked test child leaves through _exit, which skips writing its
# counters.  Preloaded into the suite, this _exit goes through exit instead
# (the handlers that write them) in the build's own programs, unless exit is
# already running; every other program (the shell, tmux) ends as it would.
cat >"$build/exit_writes_counters.c" <<'C'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <unistd.h>
static int exiting;
void exit(int status)
{
    void (*real_exit)(int) = (void (*)(int))dlsym(RTLD_NEXT, "exit");
    exiting = 1;
    real_exit(status);
    for (;;)
        syscall(SYS_exit_group, status);
}
void _exit(int status)
{
    const char *prefix = getenv("COVERAGE_PROGRAMS");
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (!exiting && prefix != NULL && n > 0) {
        exe[n] = 0;
        if (strncmp(exe, prefix, strlen(prefix)) == 0)
            exit(status);
    }
    for (;;)
        syscall(SYS_exit_group, status);
}
C
cc -shared -fPIC -O2 -o "$build/exit_writes_counters.so" "$build/exit_writes_counters.c" -ldl

# Counts from an earlier run would add up with this one's.
find "$build" -name '*.gcda' -delete
status=0
(cd "$build" && LD_PRELOAD="$build/exit_writes_counters.so" COVERAGE_PROGRAMS="$build/" \
  ctest -j"$jobs" --output-on-failure "${only[@]}" </dev/null) || status=$?
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
