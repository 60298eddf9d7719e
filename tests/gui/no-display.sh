#!/bin/sh
# Started with no display and no option, each program says in one line on standard error
# that the window needs a desktop and what works without one, and ends with exit 1, where
# the toolkit would abort (134). It opens nothing first: the check comes before the lock
# and the drives.
#   no-display.sh PROGRAM...
set -u
failures=0
check() {
    name=$1
    shift
    if "$@"; then echo "PASS $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -m 700 "$scratch/runtime"
for program in "$@"; do
    base=$(basename "$program")
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$scratch/runtime" \
        "$program" > "$scratch/out.txt" 2> "$scratch/err.txt"
    status=$?
    check "$base: exit 1" [ $status -eq 1 ]
    check "$base: one line on standard error" grep -qx \
        "$base: the window needs a desktop, and no display was found (neither DISPLAY nor WAYLAND_DISPLAY is set); --list, --check, --update and --help work without one" \
        "$scratch/err.txt"
    check "$base: nothing else" [ "$(wc -l < "$scratch/err.txt")" -eq 1 ] 
    check "$base: nothing on standard output" [ ! -s "$scratch/out.txt" ]
    check "$base: no lock taken" [ -z "$(ls -A "$scratch/runtime")" ]
done
[ $failures -eq 0 ]
