#!/usr/bin/env bash
# Runs every example program (examples/*.c, built as the translator's output
# would be) under valgrind's memcheck.  An example passes when it ends with
# its expected exit status and valgrind reports no error: no invalid access,
# no use of uninitialised memory and no definitely lost block.
#
#   MEMCHECK_BUILD  build folder (default build-memcheck)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${MEMCHECK_BUILD:-build-memcheck}

# Exit status each example ends with by design; any other example exits 0.
declare -A expected_status=(
  [first_program]=1  # ends on a deliberate run-time error
  [crash_report]=1   # ends on a run-time error under a crash file
)

bash tools/deps.sh

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
shopt -s nullglob
names=()
for source in examples/*.c; do names+=("$(basename "$source" .c)"); done
if [ ${#names[@]} -eq 0 ]; then
  echo "no examples"
  exit 0
fi
targets=()
for name in "${names[@]}"; do targets+=("example_$name"); done
cmake --build "$build" -j2 --target "${targets[@]}"

valgrind_error=9
failed=()
for name in "${names[@]}"; do
  want=${expected_status[$name]:-0}
  log="$build/memcheck-$name.log"
  status=0
  # Raw memory comes from an allocator of its own inside the library; memcheck
  # must leave that allocator's calls alone rather than take them for malloc's.
  valgrind --soname-synonyms=somalloc=nouserintercepts --error-exitcode=$valgrind_error --errors-for-leak-kinds=definite --leak-check=full \
    --log-file="$log" "$build/examples/$name" </dev/null >"$build/memcheck-$name.out" 2>&1 || status=$?
  if [ "$status" -eq "$want" ]; then
    echo "ok    $name (exit status $status)"
  else
    if [ "$status" -eq "$valgrind_error" ]; then
      echo "FAIL  $name: valgrind found errors"
    else
      echo "FAIL  $name: exit status $status, expected $want"
    fi
    sed -n '/ERROR SUMMARY\|Invalid\|uninitialised\|definitely lost/p' "$log"
    failed+=("$name")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "memcheck failed: ${failed[*]} (logs in $build)"
  exit 1
fi
echo "memcheck passed: ${names[*]}"
