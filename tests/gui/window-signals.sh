#!/bin/sh
# Real signals, and a display that goes away, sent to the window program while it writes the
# firmware of its virtual target (driven by the keyboard on an X server of its own):
#   window-signals.sh FLASHTOOL-EMULATED signals   SIGTERM, SIGHUP, SIGINT and SIGQUIT mid-write
#                                                  are refused with a line and the run ends
#                                                  updated; Ctrl+Z waits for the ending; once it
#                                                  is recorded SIGTERM ends the window (130)
#   window-signals.sh FLASHTOOL-EMULATED display   the X server killed mid-write: the run goes
#                                                  on without its window, is recorded, and only
#                                                  then does the program end
# Every page takes a few ms; the script waits for trace lines, never for a guessed time. Exit
# 77 (skipped) without Xvfb or xdotool.
set -u
program=$1
case_name=$2
for tool in Xvfb xdotool; do
    command -v "$tool" > /dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done
scratch=$(mktemp -d)
pid=""
server=""
failures=0
cleanup() {
    [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null
    [ -n "$server" ] && kill "$server" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
check() {
    name=$1
    shift
    if "$@"; then echo "PASS $case_name: $name"; else echo "FAIL $case_name: $name"; failures=$((failures + 1)); fi
}
fail() {
    echo "FAIL $case_name: $*"
    echo "--- standard error of the program (last lines):"
    tail -n 15 "$scratch/err.txt"
    exit 1
}
caption="Flash Program for ORIN DVD RW QV-5500A"
refused="The firmware is being written; it cannot be interrupted now."
held="The firmware is being written; the program stops once the update has ended."
target='"identification": "ORIN    DVD RW QV-5500A ", "revision": "1.0d", "oemTag": "ORIN      QZ   "'
slow_pages='{"opcode": "FA", "occurrence": 0, "result": "delay", "delayMs": 25}'
echo "{\"drives\": [{$target, \"faults\": [$slow_pages]}]}" > "$scratch/drives.json"

# A private X server on a display the server picks itself (-displayfd): its lock file is
# taken atomically, so two copies of this script started at once never share one.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$scratch/display" > /dev/null 2>&1 &
server=$!
for _ in $(seq 1 100); do
    [ -s "$scratch/display" ] && break
    sleep 0.1
done
display=$(head -n 1 "$scratch/display")
[ -n "$display" ] || { echo "FAIL: Xvfb gave no display"; exit 1; }
export DISPLAY=":$display"
for _ in $(seq 1 100); do
    xdotool getmouselocation > /dev/null 2>&1 && break
    sleep 0.1
done
export FLASHTOOL_HISTORY_DIR="$scratch/history"
# Every signal at its default, as a desktop starts a program, and in a process group of its
# own whose parent (this script) is in the same session: the kernel discards Ctrl+Z's stop
# in an orphaned group (nobody could continue it), and this script's own group is orphaned
# whenever whatever started it has ended.
perl -e 'setpgrp(0, 0); exec @ARGV or die "$ARGV[0]: $!\n"' -- \
    env --default-signal "$program" --drives "$scratch/drives.json" --trace="$scratch/trace.txt" \
    > "$scratch/out.txt" 2> "$scratch/err.txt" &
pid=$!

window() {
    timeout 60 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1
}
keys() {
    title="$1"
    shift
    id="$(window "$title")"
    [ -n "$id" ] || fail "no window titled '$title'"
    xdotool windowfocus --sync "$id" key --delay 150 "$@" || fail "keys $* on '$title'"
}
# wait_for PATTERN FILE [COUNT]: until COUNT (1) lines of FILE match, for at most 60 s.
wait_for() {
    deadline=$(($(date +%s) + 60))
    while :; do
        count=$(grep -c -- "$1" "$2" 2>/dev/null)
        [ "${count:-0}" -lt "${3:-1}" ] || return 0
        [ "$(date +%s)" -le "$deadline" ] || fail "never saw '$1' in $(basename "$2")"
        sleep 0.01
    done
}
state() { awk '{print $3}' "/proc/$pid/stat" 2>/dev/null; }
pages() { grep -c '^vdrive 0: FA ' "$scratch/trace.txt"; }
finish() {
    wait "$pid"
    status=$?
    pid=""
}

keys "Warning" Return                     # the start-up notice
keys "$caption" Tab Down Tab space        # the target, then Update
keys "flashtool-emulated" Return          # Do you really want to upgrade ?
wait_for '^vdrive 0: FA ' "$scratch/trace.txt" 20

case $case_name in
signals)
    n=0
    for signal in TERM HUP INT QUIT; do
        kill -"$signal" "$pid"
        n=$((n + 1))
        wait_for "^$refused\$" "$scratch/err.txt" $n
    done
    kill -TSTP "$pid"
    wait_for "^$held\$" "$scratch/err.txt"
    sent=$(pages)
    wait_for '^vdrive 0: FA ' "$scratch/trace.txt" $((sent + 10))
    check "the window went on writing after Ctrl+Z" [ "$(state)" != T ]
    keys "Information" Return             # Firmware has been updated successfully !
    # The ending is recorded: the held-off stop comes now, with the restart question up.
    deadline=$(($(date +%s) + 60))
    while [ "$(state)" != T ] && [ "$(date +%s)" -le "$deadline" ]; do sleep 0.01; done
    check "stopped once the ending was shown and recorded" [ "$(state)" = T ]
    kill -CONT "$pid"
    keys "Reboot Warning" Escape
    kill -TERM "$pid"
    finish
    check "SIGTERM ends the window once nothing is written: exit 130" [ "$status" -eq 130 ]
    check "each of the four interrupts refused with the one line" \
        [ "$(grep -cx "$refused" "$scratch/err.txt")" -eq 4 ]
    check "then the end says no drive was being written" grep -qx \
        "flashtool-emulated: stopped by SIGTERM; no drive was being written" "$scratch/err.txt"
    ;;
display)
    kill "$server"
    wait "$server" 2>/dev/null
    server=""
    finish
    check "the program ended after the run (the toolkit's exit status, 1)" [ "$status" -eq 1 ]
    check "it said why it went on" grep -q \
        "the window is gone while a drive is written; the update goes on" "$scratch/err.txt"
    check "its log went on to standard error, to the end" grep -qx \
        "The drive now reports firmware revision 1.0e: verified." "$scratch/err.txt"
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
check "every page sent" [ "$(pages)" -eq 128 ]
"$program" --history > "$scratch/history.txt"
check "the history has the run's record: updated and verified, nothing pending" sh -c "
    grep -q '1.0d -> 1.0e  updated, verified: reports 1.0e' '$scratch/history.txt' &&
    ! grep -q '(pending)' '$scratch/history.txt'"
[ $failures -eq 0 ]
