#!/usr/bin/env bash
# The main job: builds libvorn.so and the bundled example program, then runs
# it.  The example ends on purpose with a run-time error (exit status 1),
# which is what this script expects.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target example_first_program
status=0
./build/examples/first_program || status=$?
if [ "$status" -ne 1 ]; then
  echo "example ended with status $status, expected the run-time error's 1" >&2
  exit 1
fi
echo "(the example ended with its deliberate run-time error, exit status 1)"
