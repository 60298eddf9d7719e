#!/bin/sh
# --trace on the emulated program, as a process: the trace lines leave standard output for
# the file given (emptied first) or for standard error, and a file that cannot be written
# stops the program before any drive is touched.
#   trace-option.sh FLASHTOOL-EMULATED
set -u
program=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
check() {
    name=$1
    shift
    if "$@"; then echo "PASS $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}

echo "an earlier run" > "$scratch/trace.txt"
"$program" --list --trace="$scratch/trace.txt" > "$scratch/out.txt" 2> "$scratch/err.txt"
check "to a file: exit 0" [ $? -eq 0 ]
check "to a file: the three drives' scan lines, and only them" \
    [ "$(grep -c '^vdrive [012]: 12 00 00 00 38 00 | in 56 crc32=[0-9A-F]* | ok$' "$scratch/trace.txt")" -eq 3 ] 
check "to a file: the earlier content is gone" [ "$(wc -l < "$scratch/trace.txt")" -eq 3 ]
check "to a file: the list alone on standard output" sh -c "
    ! grep -q vdrive '$scratch/out.txt' && [ \$(wc -l < '$scratch/out.txt') -eq 3 ]"
check "to a file: nothing on standard error" [ ! -s "$scratch/err.txt" ]

"$program" --list --trace > "$scratch/out.txt" 2> "$scratch/err.txt"
check "to standard error: the lines there" [ "$(grep -c '^vdrive ' "$scratch/err.txt")" -eq 3 ]
check "to standard error: none on standard output" sh -c "! grep -q vdrive '$scratch/out.txt'"

"$program" --update 0 --yes --trace="$scratch/no/such/folder/trace.txt" \
    > "$scratch/out.txt" 2> "$scratch/err.txt"
status=$?
check "unwritable file: exit 1" [ $status -eq 1 ]
check "unwritable file: says which and why" grep -qx \
    "flashtool-emulated: cannot write the trace file $scratch/no/such/folder/trace.txt: No such file or directory" \
    "$scratch/err.txt"
check "unwritable file: nothing sent" sh -c "! grep -q vdrive '$scratch/out.txt' '$scratch/err.txt'"
# With --json the document is printed all the same, with the reason.
"$program" --check 0 --json --trace="$scratch/no/such/folder/trace.txt" \
    > "$scratch/out.txt" 2> "$scratch/err.txt"
check "unwritable file, --json: exit 1" [ $? -eq 1 ]
check "unwritable file, --json: one document with the reason" grep -qF \
    '"summary": "not started", "exitStatus": 1, "error": "cannot write the trace file ' \
    "$scratch/out.txt"
check "unwritable file, --json: it is the whole output" \
    [ "$(head -c 19 "$scratch/out.txt")" = '{"action": "check",' ]
[ $failures -eq 0 ]
