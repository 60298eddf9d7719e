#!/bin/sh
# Real signals sent to the emulated program's command line. Before any drive is changed an
# interrupt ends it with exit 130, the trace whole up to that moment and nothing
# drive-changing in it; while the firmware is written (pages and settle) every interrupt is
# refused with one line and the run ends updated; once a drive has been written, its ending,
# its document and its exit status belong to the run and are refused too; Ctrl+Z waits for
# the end; a question asked on a terminal does not keep an interrupt waiting; with --json an
# interrupt leaves its document; a closed standard output never stops a run. A program killed
# outright while it writes leaves its run's mark in the history, which the next start
# settles.
#   interrupt.sh FLASHTOOL-EMULATED CASE
#   (CASE: before, during, after, stop, json, question, pipe, all, killed)
# Commands are made a few ms slow, or one command slow where the signal must find the
# program; the script waits for trace lines, never for a guessed time.
set -u
program=$1
case_name=$2
scratch=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$scratch"' EXIT
failures=0
check() {
    name=$1
    shift
    if "$@"; then echo "PASS $case_name: $name"; else echo "FAIL $case_name: $name"; failures=$((failures + 1)); fi
}
refused="The firmware is being written; it cannot be interrupted now."
target='"identification": "ORIN    DVD RW QV-5500A ", "revision": "1.0d", "oemTag": "ORIN      QZ   "'
# scenario FAULTS [DRIVES]: a file of DRIVES (1) targets, each with FAULTS.
scenario() {
    drives="{$target, \"faults\": [$1]}"
    i=1
    while [ "$i" -lt "${2:-1}" ]; do
        drives="$drives, {$target, \"faults\": [$1]}"
        i=$((i + 1))
    done
    echo "{\"drives\": [$drives]}" > "$scratch/drives.json"
}
slow_pages='{"opcode": "FA", "occurrence": 0, "result": "delay", "delayMs": 5}'
# The program is started with every signal at its default: a shell starts a background
# command with SIGINT ignored, and an ignored signal never reaches the program.
start() {
    env --default-signal "$program" --drives "$scratch/drives.json" --yes \
        --trace="$scratch/trace.txt" "$@" > "$scratch/out.txt" 2> "$scratch/err.txt" &
    pid=$!
}
# wait_for PATTERN FILE [COUNT]: until COUNT (1) lines of FILE match, for at most 60 s.
wait_for() {
    deadline=$(($(date +%s) + 60))
    while :; do
        count=$(grep -c -- "$1" "$2" 2>/dev/null)
        [ "${count:-0}" -lt "${3:-1}" ] || return 0
        if [ "$(date +%s)" -gt "$deadline" ]; then
            echo "FAIL $case_name: never saw '$1' in $(basename "$2")"
            exit 1
        fi
        sleep 0.01
    done
}
finish() {
    wait "$pid"
    status=$?
    pid=""
}
pages() { grep -c "^vdrive $1: FA " "$scratch/trace.txt"; }

case $case_name in
before)
    # The second TEST UNIT READY takes 60 s: the interrupt finds the program in it, after
    # the scan and before the first vendor command.
    scenario '{"opcode": "00", "occurrence": 2, "result": "delay", "delayMs": 60000}'
    start --update 0
    wait_for '^vdrive 0: 12 ' "$scratch/trace.txt" 2
    kill -INT "$pid"
    finish
    check "exit 130" [ "$status" -eq 130 ]
    check "one line says why" [ "$(cat "$scratch/err.txt")" = \
        "flashtool-emulated: stopped by SIGINT before any drive was changed" ]
    check "the trace is whole: the scan and the checks up to the slow command" \
        [ "$(wc -l < "$scratch/trace.txt")" -eq 3 ]
    check "nothing but INQUIRY and TEST UNIT READY was sent" \
        sh -c "! grep -v '^vdrive [0-9]: \(12\|00\) ' '$scratch/trace.txt'"
    check "the keep-awake lock was never taken" sh -c "! grep -q keep-awake '$scratch/out.txt'"
    ;;
during)
    scenario "$slow_pages"
    start --update 0
    wait_for '^vdrive 0: FA ' "$scratch/trace.txt"
    n=0
    for signal in INT TERM HUP QUIT; do
        kill -"$signal" "$pid"
        n=$((n + 1))
        wait_for "^$refused\$" "$scratch/err.txt" $n
    done
    finish
    check "exit 0: updated" [ "$status" -eq 0 ]
    check "each of the four signals refused with the one line" \
        [ "$(grep -cx "$refused" "$scratch/err.txt")" -eq 4 ]
    check "nothing else on standard error" [ "$(wc -l < "$scratch/err.txt")" -eq 4 ]
    check "every page sent" [ "$(pages 0)" -eq 128 ]
    check "the drive reports the new revision" grep -q "updated successfully" "$scratch/out.txt"
    ;;
after)
    # A transfer that fails at its 100th page, then the identification read again after the
    # run (the fourth INQUIRY, as the mark reads the page list for a serial number) takes 2 s: the interrupt finds the program there, past the keep-awake lock. The
    # ending, its document and its record are the run's too: the interrupt is refused.
    export FLASHTOOL_HISTORY_DIR="$scratch/history"
    scenario '{"opcode": "FA", "occurrence": 100, "result": "failed"}, '"$slow_pages"', {"opcode": "12", "occurrence": 4, "result": "delay", "delayMs": 2000}'
    start --update 0 --json
    wait_for '^keep-awake: released' "$scratch/err.txt"
    kill -INT "$pid"
    wait_for "^$refused\$" "$scratch/err.txt"
    finish
    check "exit 15: the update failed" [ "$status" -eq 15 ]
    check "99 pages taken before the failure" [ "$(grep -c '^vdrive 0: FA .* | ok$' "$scratch/trace.txt")" -eq 99 ]
    check "its one JSON document says so" sh -c "
        [ \$(grep -c '^{\"action\": \"update\"' '$scratch/out.txt') -eq 1 ] &&
        grep -q '\"ending\": \"failed\"' '$scratch/out.txt' &&
        grep -q '\"exitStatus\": 15, \"error\": null}' '$scratch/out.txt'"
    check "the closing line was said" grep -q '^drive 0: the update FAILED' "$scratch/err.txt"
    "$program" --history > "$scratch/history.txt"
    check "the history has the run's ending, not a run that never ended" sh -c "
        grep -q '1.0d -> 1.0e  failed (code 5)' '$scratch/history.txt' &&
        ! grep -q 'never ended' '$scratch/history.txt'"
    ;;
stop)
    # Ctrl+Z while the pages go: the run goes on; the stop is held off to the end.
    held="The firmware is being written; the program stops once the update has ended."
    scenario "$slow_pages"
    start --update 0
    wait_for '^vdrive 0: FA ' "$scratch/trace.txt" 10
    kill -TSTP "$pid"
    wait_for "^$held\$" "$scratch/err.txt"
    sent=$(pages 0)
    wait_for '^vdrive 0: FA ' "$scratch/trace.txt" $((sent + 10))
    finish
    check "exit 0: updated" [ "$status" -eq 0 ]
    check "said once that the stop waits" [ "$(cat "$scratch/err.txt")" = "$held" ]
    check "every page sent" [ "$(pages 0)" -eq 128 ]
    ;;
json)
    # --json: an interrupt before anything was written still leaves its one document. The
    # check's TEST UNIT READY takes 60 s: the interrupt finds the program in it.
    scenario '{"opcode": "00", "occurrence": 1, "result": "delay", "delayMs": 60000}'
    env --default-signal "$program" --drives "$scratch/drives.json" --trace="$scratch/trace.txt" \
        --check 0 --json > "$scratch/out.txt" 2> "$scratch/err.txt" &
    pid=$!
    wait_for '^vdrive 0: 12 ' "$scratch/trace.txt" 2
    kill -TERM "$pid"
    finish
    check "exit 130" [ "$status" -eq 130 ]
    check "one document, interrupted, exit status 130" sh -c "
        [ \$(grep -c '^{\"action\": \"check\"' '$scratch/out.txt') -eq 1 ] &&
        grep -q '^\"summary\": \"interrupted\", \"exitStatus\": 130, \"error\": \"stopped by SIGTERM before any drive was changed\"}$' '$scratch/out.txt'"
    ;;
question)
    # Ctrl+C at a question asked on a terminal ends the program at once: nobody has to type
    # a line first.
    command -v python3 > /dev/null || { echo "SKIPPED: python3 is not installed"; exit 77; }
    scenario ""
    python3 - "$program" "$scratch/drives.json" > "$scratch/out.txt" <<'PYTHON'
import os, pty, select, signal, sys, time
program, drives = sys.argv[1], sys.argv[2]
pid, fd = pty.fork()
if pid == 0:
    signal.signal(signal.SIGINT, signal.SIG_DFL)
    os.execv(program, [program, "--drives", drives, "--update", "0"])
seen = b""
deadline = time.time() + 60
while b"[y/N]" not in seen and time.time() < deadline:
    if select.select([fd], [], [], 0.1)[0]:
        try:
            seen += os.read(fd, 4096)
        except OSError:
            break
os.kill(pid, signal.SIGINT)
deadline = time.time() + 10
while time.time() < deadline:
    done, status = os.waitpid(pid, os.WNOHANG)
    if done:
        print("asked" if b"[y/N]" in seen else "never asked", os.waitstatus_to_exitcode(status))
        sys.exit(0)
    if select.select([fd], [], [], 0.05)[0]:
        try:
            os.read(fd, 4096)
        except OSError:
            pass
os.kill(pid, signal.SIGKILL)
print("hung")
PYTHON
    check "asked, then ended by Ctrl+C with exit 130" [ "$(cat "$scratch/out.txt")" = "asked 130" ]
    ;;
pipe)
    # Standard output read by `head -n 1`: every line after its first goes to a closed pipe.
    scenario "$slow_pages"
    { env --default-signal "$program" --drives "$scratch/drives.json" --yes \
        --trace="$scratch/trace.txt" --update 0 2> "$scratch/err.txt"
      echo $? > "$scratch/status"; } | head -n 1 > /dev/null
    status=$(cat "$scratch/status")
    check "exit 0: updated" [ "$status" -eq 0 ]
    check "every page sent" [ "$(pages 0)" -eq 128 ]
    check "the identification read again after the settle" \
        [ "$(grep -c '^vdrive 0: 12 ' "$scratch/trace.txt")" -eq 3 ]
    ;;
all)
    # --all over three targets, each on its own worker: the window stays open while any
    # of them is written.
    scenario "$slow_pages" 3
    start --all
    wait_for '^vdrive 2: FA ' "$scratch/trace.txt"
    kill -INT "$pid"
    wait_for "^$refused\$" "$scratch/err.txt"
    finish
    check "exit 0: all updated" [ "$status" -eq 0 ]
    check "the interrupt refused with the one line" [ "$(cat "$scratch/err.txt")" = "$refused" ]
    for drive in 0 1 2; do
        check "drive $drive: every page sent" [ "$(pages $drive)" -eq 128 ]
    done
    ;;
killed)
    # SIGKILL cannot be refused: the run never ends, and only its mark is in the history.
    export FLASHTOOL_HISTORY_DIR="$scratch/history"
    scenario "$slow_pages"
    start --update 0
    wait_for '^vdrive 0: FA ' "$scratch/trace.txt"
    kill -KILL "$pid"
    finish
    check "killed" [ "$status" -eq 137 ]
    "$program" --history > "$scratch/history.txt"
    check "the history shows the run begun and pending" grep -q \
        '  begun     "ORIN    DVD RW QV-5500A "  -  1.0d -> 1.0e  never ended .*  (pending)  ' \
        "$scratch/history.txt"
    # The next start finds the drive (the emulated one is new again) at its old revision.
    "$program" --drives "$scratch/drives.json" --list > /dev/null 2> "$scratch/next.txt"
    check "the next start settles it, and says so" grep -q \
        '^History: drive "ORIN    DVD RW QV-5500A ", an update begun on .* from 1.0d to 1.0e that never ended: it still reports 1.0d: the update FAILED; run it again.$' \
        "$scratch/next.txt"
    "$program" --history > "$scratch/history.txt"
    check "then the history shows it settled, nothing pending" sh -c "
        grep -q '  resolved  .*  failed: still reports 1.0d  ' '$scratch/history.txt' &&
        ! grep -q '(pending)' '$scratch/history.txt'"
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
[ $failures -eq 0 ]
