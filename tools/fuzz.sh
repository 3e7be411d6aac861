#!/usr/bin/env bash
# Builds every fuzz target fuzz/<name>_fuzz.cpp as a libFuzzer program over
# the library's sources (clang-14, AddressSanitizer and UBSan) and runs each
# for a bounded time, starting from its committed seed corpus in
# fuzz/corpus/<name>_fuzz/.  Exits non-zero when any target crashes, leaks or
# trips the sanitizers; the failing input is kept under the build folder.
#
#   FUZZ_SECONDS  time per target (default 20)
#   FUZZ_BUILD    build folder (default build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
seconds=${FUZZ_SECONDS:-20}
build=$repo/${FUZZ_BUILD:-build-fuzz}

# clang-14 and its fuzzer and sanitizer run-times, installed when missing.
bash tools/deps.sh clang-14 libclang-rt-14-dev

shopt -s nullglob
sources=("$repo"/fuzz/*_fuzz.cpp)
if [ ${#sources[@]} -eq 0 ]; then
  echo "no fuzz targets"
  exit 0
fi
targets=()
for s in "${sources[@]}"; do targets+=("$(basename "$s" .cpp)"); done

# A small project around the library's own: the static library is built from
# the sources with the project's sanitizer option plus libFuzzer coverage, so
# it keeps whatever link dependencies the library declares.  clang may warn
# where g++ does not; warnings do not stop a fuzzing run.
mkdir -p "$build/project"
cat >"$build/project/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.20)
project(vorn_fuzz C CXX)
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(VORN_SANITIZE ON CACHE BOOL "" FORCE)
set(VORN_TESTS OFF CACHE BOOL "" FORCE)
set(VORN_BENCH OFF CACHE BOOL "" FORCE)
add_subdirectory("$repo" vorn)
target_compile_options(vorn_static PRIVATE -Wno-error)
foreach(name ${targets[*]})
  add_executable(\${name} "$repo/fuzz/\${name}.cpp")
  target_link_libraries(\${name} PRIVATE vorn_static)
  target_compile_options(\${name} PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
  target_link_options(\${name} PRIVATE -fsanitize=fuzzer,address,undefined)
endforeach()
CMAKE

CC=clang-14 CXX=clang++-14 cmake -S "$build/project" -B "$build/bin" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" >/dev/null
cmake --build "$build/bin" -j2 --target "${targets[@]}"

failed=()
for t in "${targets[@]}"; do
  echo "== $t: ${seconds}s"
  work="$build/corpus/$t"
  mkdir -p "$work" "$build/artifacts"
  seeds="$repo/fuzz/corpus/$t"
  [ -d "$seeds" ] || seeds=""
  # New inputs go to the working corpus; the committed seeds stay as they are.
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "$build/bin/$t" -max_total_time="$seconds" -timeout=25 -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$t-" "$work" $seeds </dev/null; then
    failed+=("$t")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing failed: ${failed[*]} (inputs in $build/artifacts)"
  exit 1
fi
echo "fuzzing passed: ${targets[*]}"
