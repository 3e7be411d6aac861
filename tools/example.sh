#!/usr/bin/env bash
# The main job: builds libvorn.so and the example programs, then runs the
# word counter on the text bundled with the project (examples/data/text.txt):
# it reads the file line by line, counts every word in a keyed table and
# prints the 20 most frequent.  Any further arguments go to the program, so
#   bash tools/example.sh some/other/file.txt
# counts that file instead.  The script ends with the program's exit status,
# 0 on success.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2 --target example_wordfreq example_first_program
exec ./build/examples/wordfreq "$@"
