#!/bin/sh
# The single-instance lock as the programs take it. A second copy of flashtool, while this
# user's lock is held, is refused with its message before it opens anything: its window
# (waiting at its box) and its --update alike leave the first copy's --trace file as it
# was. --list takes no lock and runs beside it, and so does flashtool-emulated,
# which takes none. Runs on Qt's offscreen platform: no display needed.
#   second-copy.sh FLASHTOOL FLASHTOOL-EMULATED
set -u
program=$1
emulated=$2
# flashtool scans the computer's real drives once it is past the lock: where there are
# nodes it could open, a broken lock would reach them, so the test does not run there.
for node in /dev/sg* /dev/sr*; do
    if [ -e "$node" ] && { [ -r "$node" ] || [ -w "$node" ]; }; then
        echo "skipped: $node could be opened by flashtool"
        exit 77
    fi
done
dir="$(mktemp -d)"
pids=""
trap 'kill $pids 2>/dev/null; rm -rf "$dir"' EXIT
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$dir/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
failures=0
check() {
    name=$1
    shift
    if "$@"; then echo "PASS $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}
expected="Another copy of this program is already running. Only one copy at a time may update drives: close the other one, then start this one again."
# wait_for PATTERN FILE: for at most 30 s.
wait_for() {
    deadline=$(($(date +%s) + 30))
    until grep -q -- "$1" "$2" 2>/dev/null; do
        [ "$(date +%s)" -le "$deadline" ] || return 1
        sleep 0.05
    done
}

# The first copy: this user's lock, held by this script for its length.
exec 9> "$XDG_RUNTIME_DIR/flashtool.lock"
flock -n 9 || { echo "FAIL the lock could not be taken"; exit 1; }
echo "the first copy's trace" > "$dir/trace.txt"

"$program" --trace="$dir/trace.txt" > "$dir/window.out" 2> "$dir/window.err" &
window=$!
pids="$pids $window"
check "window: refused with its message" wait_for "$expected" "$dir/window.err"
check "window: the first copy's trace left alone" \
    [ "$(cat "$dir/trace.txt")" = "the first copy's trace" ]
check "window: nothing on standard output" [ ! -s "$dir/window.out" ]

"$program" --update 0 --yes --trace="$dir/trace.txt" > "$dir/cli.out" 2> "$dir/cli.err"
check "--update: exit 1" [ $? -eq 1 ]
check "--update: refused with its message" [ "$(cat "$dir/cli.err")" = "flashtool: $expected" ]
check "--update: the first copy's trace left alone" \
    [ "$(cat "$dir/trace.txt")" = "the first copy's trace" ]

"$program" --all --yes --json > "$dir/json.out" 2> "$dir/json.err"
check "--all --json: exit 1" [ $? -eq 1 ]
check "--all --json: the document says why" grep -qF \
    "\"summary\": \"not started\", \"exitStatus\": 1, \"error\": \"$expected\"}" "$dir/json.out"

"$program" --list > "$dir/list.out" 2> "$dir/list.err"
check "--list: not refused" sh -c "! grep -qF 'Another copy' '$dir/list.err'"

# The emulated program takes no lock, even where its own name's would be.
exec 8> "$XDG_RUNTIME_DIR/flashtool-emulated.lock"
flock -n 8 || { echo "FAIL the emulated program's lock could not be taken"; exit 1; }
"$emulated" --update 1 --yes > "$dir/emulated.out" 2> "$dir/emulated.err"
check "emulated: not refused" sh -c "! grep -qF 'Another copy' '$dir/emulated.err'"
check "emulated: its drives were asked" grep -q '^vdrive 1: ' "$dir/emulated.out"
[ $failures -eq 0 ]
