#!/usr/bin/env bash
# Mutation check of the test suite: plants known faults in the library, one
# at a time, and shows that the suite fails on every one.  Each fault is an
# exact textual replacement in one source file (the table below); the text
# must occur exactly once in the file, so the table cannot silently go stale
# as the code changes.  Faults are planted in a scratch copy of the tree
# (build-mutate/tree), never in this one; one build folder inside it is
# reused, so each fault costs an incremental rebuild and a suite run.
#
#   bash tools/mutate.sh              every fault, the whole suite each time
#   bash tools/mutate.sh 3 7          faults 3 and 7 only
#   bash tools/mutate.sh --quick ...  only the tests of the faulty subsystem
#                                     (plus the differential run for the core)
#   bash tools/mutate.sh --list       the table, nothing built
#   bash tools/mutate.sh --check      checks every original text occurs once
#
#   MUTATE_DIR      scratch folder (default build-mutate)
#   MUTATE_TIMEOUT  seconds one test may take (default 300)
#   MUTATE_BASELINE 0 skips the run of the unchanged tree first (default 1)
#   MUTATE_TESTS    a ctest -R pattern run for every fault instead (e.g. only
#                   the differential run, or only the unit tests)
#
# Prints a table of results and exits non-zero when any fault survives (or
# does not build).  The whole table takes about 40-60 minutes on two cores
# (most faults are caught by the first failing test, which stops the run);
# --quick about half of that.
set -uo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
work=$repo/${MUTATE_DIR:-build-mutate}
tree=$work/tree
# The build folder sits inside the tree, as build/ does here: the examples
# find their data relative to their own folder.
build=$tree/build
timeout=${MUTATE_TIMEOUT:-300}

# ---- the faults -----------------------------------------------------------------
# m FILE KIND SUITES DESCRIPTION ORIGINAL MUTATED
# SUITES: the test suites of the subsystem (a ctest regex alternative), used
# by --quick.

files=() kinds=() suites=() descs=() origs=() muts=()
m() { files+=("$1"); kinds+=("$2"); suites+=("$3"); descs+=("$4"); origs+=("$5"); muts+=("$6"); }

m src/core/object_store.cpp "off-by-one in a bound" "ObjectStore|Builders|Slice|Subscript|PathAssign" \
  "only_sequence writes in place into a sequence held twice (copy on write skipped)" \
  $'    if (r->count <= 1 && r->base == 0) {\n        news = r;' \
  $'    if (r->count <= 2 && r->base == 0) {\n        news = r;'
m src/core/object_store.cpp "wrong release order" "ObjectStore|Builders|Slice|Subscript|PathAssign" \
  "only_sequence lets go of a view's base before copying the view's elements out of it" \
  $'    handle former_base = r->base;\n    r->data = copy_storage(*r);\n    r->base = 0;\n    r->count = 1;\n    drop_ref(former_base);' \
  $'    handle former_base = r->base;\n    drop_ref(former_base);\n    r->data = copy_storage(*r);\n    r->base = 0;\n    r->count = 1;'
m src/core/builders.cpp "reference taken twice" "Builders|ObjectStore" \
  "repeat takes one reference too many on a repeated object" \
  $'        rec(x).count += count;' \
  $'        rec(x).count += count + 1;'
m src/core/builders.cpp "byte stored as a handle" "Builders|ObjectStore" \
  "repeat of a byte 128..255 makes a sequence of handles instead of bytes" \
  $'    if (x <= 255) {' \
  $'    if (x <= 127) {'
m src/core/errors.cpp "wrong message" "Errors|Examples" \
  "the crash-file pointer line reads \"--> See\" instead of \"--> see\"" \
  $'std::printf("--> see %s\\n", crash_file);' \
  $'std::printf("--> See %s\\n", crash_file);'
m src/core/elementwise.cpp "off-by-one in a bound" "Operators|Unary|CompoundAssignment" \
  "a byte result widened to handles loses its last byte before the first non-byte" \
  $'        for (size_t i = 0; i < k; ++i)\n            words_[i] = bytes_[i];' \
  $'        for (size_t i = 0; i + 1 < k; ++i)\n            words_[i] = bytes_[i];'
m src/core/operators.cpp "wrong value" "Operators|Compare" \
  "greater_equal beyond two integers computes greater" \
  $'    case op_greater_equal:\n        return a >= b;' \
  $'    case op_greater_equal:\n        return a > b;'
m src/core/unary.cpp "off-by-one in a bound" "Unary|Operators" \
  "upper leaves the letter z lower case" \
  $'return c >= \'a\' && c <= \'z\' ? c - (\'a\' - \'A\') : c; }' \
  $'return c >= \'a\' && c < \'z\' ? c - (\'a\' - \'A\') : c; }'
m src/core/value_parsing.cpp "off-by-one in a bound" "ValueParsing" \
  "value does not read the hexadecimal digit f" \
  $'    if (c >= \'a\' && c <= \'f\')' \
  $'    if (c >= \'a\' && c < \'f\')'
m src/core/compound_assignment.cpp "missing release" "CompoundAssignment|Operators" \
  "add_to & co. beyond the fast cases keep the variable's reference on the old value" \
  $'    operand = code;\n    let_go(v);\n' \
  $'    operand = code;\n'
m src/core/slicing.cpp "off-by-one in a bound" "Slice|Subscript" \
  "slice accepts an upper bound one past the end" \
  $'    if (last < 1 || last > n)\n        runtime_error(error_slice_hbound, "slice", last, n);' \
  $'    if (last < 1 || last > n + 1)\n        runtime_error(error_slice_hbound, "slice", last, n);'
m src/core/path_assignment.cpp "byte stored as a handle" "PathAssign" \
  "subscript_assign of a byte into a bytesequence widens it to handles" \
  $'        if (is_byte(v)) {\n            bytes(rec(target))[i - 1] = static_cast<unsigned char>(v);' \
  $'        if (false && is_byte(v)) {\n            bytes(rec(target))[i - 1] = static_cast<unsigned char>(v);'
m src/core/concatenation.cpp "reference taken twice" "Concat|Insert|Remove" \
  "concatenating two atoms references the first twice and the second not at all" \
  $'    take_ref(a);\n    take_ref(b);\n    return make_sequence(pair, 2);' \
  $'    take_ref(a);\n    take_ref(a);\n    return make_sequence(pair, 2);'
m src/core/keyed_tables.cpp "off-by-one in a bound" "KeyedTables|FindMatch|Compare|PathAssign|Subscript" \
  "the binary search over keys never looks at the last key" \
  $'    int32_t lo = 0, hi = n - 1;' \
  $'    int32_t lo = 0, hi = n - 2;'
m src/core/compare.cpp "wrong value" "Compare|KeyedTables|FindMatch" \
  "inside sequences, a sequence element orders below an atom element" \
  $'            result = Order ? (sa ? 1 : -1) : 0;' \
  $'            result = Order ? (sa ? -1 : 1) : 0;'
m src/core/find_match.cpp "off-by-one in a bound" "FindMatch|Compare" \
  "match in bytes misses a run that ends at the last byte" \
  $'        size_t span = static_cast<size_t>(last - k) + m - 1;' \
  $'        size_t span = static_cast<size_t>(last - k) + m - 2;'
m src/io/file_table.cpp "missing release" "FileTable|Printing|Reading|Formatting" \
  "open releases its name but not its mode" \
  $'    release_pair(name, mode);' \
  $'    release(name);'
m src/io/printing.cpp "missing flush" "Printing" \
  "puts to standard output is not flushed" \
  $'    if (c.stream != nullptr)\n        flush_if_standard_output(c.stream);\n    release(x);' \
  $'    release(x);'
m src/io/formatting.cpp "wrong value" "Formatting|Printing" \
  "a byte of a bytesequence argument goes to %d unsigned" \
  $'        byte = static_cast<signed char>(byte);' \
  $'        byte = static_cast<unsigned char>(byte);'
m src/io/reading.cpp "off-by-one in a bound" "Reading|FileTable" \
  "seek to -1 lands one byte before the end" \
  $'return std::fseek(stream, static_cast<long>(p) + 1, SEEK_END);' \
  $'return std::fseek(stream, static_cast<long>(p), SEEK_END);'
m src/net/sockets.cpp "off-by-one in a bound" "Sockets" \
  "a receive may fill the whole buffer, leaving no zero byte after the data" \
  $'recv(fd, buffer, static_cast<size_t>(size - 1), 0);' \
  $'recv(fd, buffer, static_cast<size_t>(size), 0);'
m src/net/sockets.cpp "wrong message" "Sockets" \
  "end of a connection reported as \"Received EOF\"" \
  $'std::puts("Recieved EOF");' \
  $'std::puts("Received EOF");'
m src/io/environment.cpp "wrong exit status" "System" \
  "a command ended by a signal gives the signal number, not 128 + it" \
  $'        return 128 + WTERMSIG(status);' \
  $'        return WTERMSIG(status);'
m src/io/wildcards.cpp "off-by-one in a bound" "System" \
  "a single trailing * needs at least one character" \
  $'        if (size - r >= 2) {' \
  $'        if (size - r >= 1) {'
m src/io/directories.cpp "off-by-one in a bound" "System" \
  "a directory entry's month counts from 0" \
  $'t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};' \
  $'t.tm_year + 1900, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};'
m src/io/clock.cpp "off-by-one in a bound" "System" \
  "date's day of the year counts from 0" \
  $'t.tm_wday + 1, t.tm_yday + 1};' \
  $'t.tm_wday + 1, t.tm_yday};'
m src/io/console.cpp "wrong value" "Console|Terminal|TerminalAbsent" \
  "text_color keeps the old foreground bits and drops the background" \
  $'(pti.attribute & 0xF0) + *c' \
  $'(pti.attribute & 0x0F) + *c'
m src/io/screen_images.cpp "wrong value" "Console|Terminal" \
  "get_screen takes each cell's attribute from its character field" \
  $'        b[2 * i + 1] = b[4 * i + 2];' \
  $'        b[2 * i + 1] = b[4 * i + 1];'
m src/io/terminal_keys.cpp "wrong key code" "Keys|Terminal" \
  "the terminal's Left arrow decodes with the Right arrow's scan code" \
  $'    case \'D\':\n        return {0x25, 75};' \
  $'    case \'D\':\n        return {0x25, 77};'
m src/io/keyboard.cpp "wrong key code" "Keys|Console" \
  "a key without character held with Shift gets the offset 346 instead of 356" \
  $'        return r.scan_code + 356;' \
  $'        return r.scan_code + 346;'
m src/io/keyboard.cpp "break handling" "Keys|Console|Terminal" \
  "an interrupt counted while breaks are off is not reported as key 3" \
  $'    if (take_breakcount() != 0)\n        last_key = 3;' \
  $'    if (take_breakcount() != 0)\n        last_key = -1;'
m src/io/keyboard.cpp "wrong exit status" "Keys|Console|Terminal" \
  "the interrupt key with breaks allowed ends the program with status 0" \
  $'        terminal_restore_input();\n        Pexit(1);' \
  $'        terminal_restore_input();\n        Pexit(0);'
m src/machine/raw_memory.cpp "missing release" "RawMemory|Machine|Conversions" \
  "peek of an {address, count} range keeps its temporary argument" \
  $'    handle result = make_bytes(at(g.address), g.count);\n    release(x);' \
  $'    handle result = make_bytes(at(g.address), g.count);'
m src/machine/dispatcher.cpp "off-by-one in a bound" "Machine|RawMemory" \
  "machine(25) gives the cursor row 0-based" \
  $'    data[0] = int_handle(s.y + 1);' \
  $'    data[0] = int_handle(s.y);'
m src/machine/conversions.cpp "wrong value" "Conversions|Machine" \
  "bytes_to_int reads the most significant byte first" \
  $'<< (8 * k);' \
  $'<< (8 * (3 - k));'
m src/machine/foreign_calls.cpp "reference taken twice" "Foreign|ForeignBox|ForeignFatal" \
  "call_proc/call_func add references even when a temporary list hands its own over" \
  $'    if (!hand_over)\n        take_element_refs(c);' \
  $'    take_element_refs(c);'

count=${#files[@]}

# ---- arguments ---------------------------------------------------------------------

quick=0
list=0
check=0
chosen=()
for a in "$@"; do
  case $a in
  --quick) quick=1 ;;
  --list) list=1 ;;
  --check) check=1 ;;
  [0-9]*)
    if [ "$a" -lt 1 ] || [ "$a" -gt "$count" ]; then
      echo "no fault $a (1 .. $count)" >&2
      exit 2
    fi
    chosen+=("$a")
    ;;
  *)
    echo "usage: bash tools/mutate.sh [--quick] [--list] [--check] [ID...]" >&2
    exit 2
    ;;
  esac
done
[ ${#chosen[@]} -eq 0 ] && chosen=($(seq 1 "$count"))

if [ $list -eq 1 ]; then
  for i in $(seq 1 "$count"); do
    k=$((i - 1))
    printf '%2d  %-32s %-24s %s\n' "$i" "${files[$k]}" "${kinds[$k]}" "${descs[$k]}"
  done
  exit 0
fi

# ---- the table stays honest ------------------------------------------------------------

# Occurrences of the text in $TEXT in a file, counted exactly (no patterns).
occurrences() { TEXT=$2 perl -0777 -ne '$t = $ENV{TEXT}; $n = () = /\Q$t\E/g; print $n' "$1"; }

stale=0
for i in "${chosen[@]}"; do
  k=$((i - 1))
  f=$repo/${files[$k]}
  n=$([ -f "$f" ] && occurrences "$f" "${origs[$k]}" || echo missing)
  if [ "$n" != 1 ]; then
    echo "fault $i: the original text occurs $n times in ${files[$k]} (must be exactly once)" >&2
    stale=1
  fi
  [ "${origs[$k]}" == "${muts[$k]}" ] && echo "fault $i: mutated text is the original" >&2 && stale=1
done
[ $stale -ne 0 ] && exit 2
if [ $check -eq 1 ]; then
  echo "all ${#chosen[@]} faults apply"
  exit 0
fi

# ---- the scratch tree ---------------------------------------------------------------------

bash tools/deps.sh >/dev/null
mkdir -p "$tree" "$build"

# The scratch tree gets this tree's files (committed or not, ignored ones
# left out); unchanged files keep their times, so rebuilds stay incremental.
sync_tree() {
  declare -A keep=()
  while IFS= read -r -d '' f; do
    [ -f "$repo/$f" ] || continue
    keep["$f"]=1
    if ! cmp -s "$repo/$f" "$tree/$f"; then
      mkdir -p "$(dirname "$tree/$f")"
      cp -p "$repo/$f" "$tree/$f"
    fi
  done < <(git ls-files -z --cached --others --exclude-standard)
  while IFS= read -r -d '' f; do
    f=${f#./}
    [ -n "${keep[$f]:-}" ] || rm -f "$tree/$f"
  done < <(cd "$tree" && find . -path ./build -prune -o -type f -print0)
}

planted=""
# Puts the planted file back as it is here; its new time makes the next
# build compile it again.
restore() {
  if [ -n "$planted" ]; then
    cp "$repo/$planted" "$tree/$planted"
    planted=""
  fi
}
trap 'restore' EXIT
trap 'restore; exit 130' INT TERM

plant() {
  local k=$1
  planted=${files[$k]}
  ORIG=${origs[$k]} MUT=${muts[$k]} perl -0777 -i -pe 's/\Q$ENV{ORIG}\E/$ENV{MUT}/' "$tree/$planted"
}

sync_tree
cmake -S "$tree" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORN_TESTS=ON -DVORN_SANITIZE=OFF \
  -DVORN_BENCH=OFF >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; exit 2; }

# The ctest selection for fault k: everything, or with --quick the suites
# of its subsystem (and the differential run for the core).
selection() {
  local k=$1
  [ -n "${MUTATE_TESTS:-}" ] && echo "-R" "$MUTATE_TESTS" && return
  [ $quick -eq 0 ] && return
  local re="^(${suites[$k]})\\."
  [[ ${files[$k]} == src/core/* ]] && re="$re|^differential\$"
  echo "-R" "$re"
}

run_suite() {  # LOG SELECTION...
  local log=$1; shift
  (cd "$build" && ctest -j2 --timeout "$timeout" --stop-on-failure "$@" </dev/null) >"$log" 2>&1
}

if [ "${MUTATE_BASELINE:-1}" != 0 ]; then
  echo "== the unchanged tree"
  cmake --build "$build" -j2 >"$work/build.log" 2>&1 || { tail -40 "$work/build.log"; exit 2; }
  baseline=()
  if [ -n "${MUTATE_TESTS:-}" ]; then
    baseline=(-R "$MUTATE_TESTS")
  elif [ $quick -eq 1 ]; then
    res=()
    for i in "${chosen[@]}"; do res+=("${suites[$((i - 1))]}"); done
    baseline=(-R "^($(IFS='|'; echo "${res[*]}"))\\.|^differential\$")
  fi
  if ! run_suite "$work/baseline.log" "${baseline[@]}"; then
    grep -A20 "tests FAILED" "$work/baseline.log" || tail -20 "$work/baseline.log"
    echo "the suite fails without any fault planted: fix that first" >&2
    exit 2
  fi
fi

# ---- one fault at a time --------------------------------------------------------------------

results=()
survived=0
for i in "${chosen[@]}"; do
  k=$((i - 1))
  start=$SECONDS
  plant "$k"
  log=$work/fault-$i.log
  if ! cmake --build "$build" -j2 >"$log" 2>&1; then
    status="NO BUILD"
    by="(see $log)"
    survived=$((survived + 1))
  elif run_suite "$log" $(selection "$k"); then
    status="SURVIVED"
    by="-"
    survived=$((survived + 1))
  else
    status="killed"
    by=$(sed -n '/tests FAILED/{n;p;q}' "$log" | sed -E 's/^[[:space:]]*[0-9]+ - //; s/ \(.*//')
    [ -z "$by" ] && by="(see $log)"
  fi
  restore
  line=$(printf '%2d  %-8s %4ds  %-30s %-23s %-34s %s' "$i" "$status" $((SECONDS - start)) \
    "${files[$k]#src/}" "${kinds[$k]}" "$by" "${descs[$k]}")
  echo "$line"
  results+=("$line")
done

{
  echo
  echo "fault status   time  file                           kind                    first failing test                 fault"
  printf '%s\n' "${results[@]}"
  echo
  echo "$(( ${#chosen[@]} - survived )) of ${#chosen[@]} faults caught$([ $quick -eq 1 ] && echo ' (quick selection)')"
} | tee "$work/results.txt"
[ $survived -eq 0 ]
