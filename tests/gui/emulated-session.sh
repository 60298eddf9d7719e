#!/bin/sh
# flashtool-emulated started as a person would, on an X display, and driven by the keyboard
# alone through a whole upgrade of the virtual target: Enter on the notice, Tab and Down to
# the target, Tab and Space on Upgrade, Enter on each question, Escape to leave. Standard
# output must show the trace line of every command sent. Run it under run-under-xvfb.sh.
set -u
program="$1"
out="${2:-${TMPDIR:-/tmp}/flashtool-emulated-session.$$.log}"
caption="Flash Program for ORIN DVD RW QV-5500A"

fail() {
    echo "FAILED: $*"
    echo "--- standard output of the program (last lines):"
    tail -n 20 "$out"
    echo "--- its standard error (last lines):"
    tail -n 5 "$out.err"
    exit 1
}

"$program" >"$out" 2>"$out.err" &
pid=$!
trap 'kill $pid 2>/dev/null' EXIT

# The id of the visible top-level window with exactly this title, waiting up to 60 s (a
# loaded machine can take a while to start the program).
window() {
    timeout 60 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1
}

# keys WINDOW-TITLE KEY...: focuses the window and types the keys.
keys() {
    title="$1"
    shift
    id="$(window "$title")"
    [ -n "$id" ] || fail "no window titled '$title'"
    xdotool windowfocus --sync "$id" key --delay 150 "$@" || fail "keys $* on '$title'"
}

keys "Warning" Return
keys "$caption" Tab Down Tab space
keys "flashtool-emulated" Return           # Do you really want to upgrade ?
keys "Information" Return                  # Firmware has been updated successfully !
keys "Reboot Warning" Return               # Your computer needs to be rebooted.
# The worker still reads the drive's new identification after the last box is answered,
# and the dialog refuses to end while a run is in progress: an Escape that lands in that
# moment is rightly ignored, so it is given again (at most three times).
for _ in 1 2 3; do
    keys "$caption" Escape
    for _ in $(seq 1 50); do
        kill -0 $pid 2>/dev/null || break
        sleep 0.1
    done
    kill -0 $pid 2>/dev/null || break
done
kill -0 $pid 2>/dev/null && fail "the program did not end on Escape"
wait $pid || fail "the program ended with status $?"
trap - EXIT

pages=$(grep -c '^vdrive 0: FA .* | out 16384 crc32=[0-9A-F]\{8\} | ok$' "$out")
[ "$pages" -eq 128 ] || fail "$pages page commands traced, not 128"
grep -q '^vdrive 0: FD F1 54 41 52 4E' "$out" || fail "no handshake traced"
grep -q '^Restart requested: the emulated build does not restart the computer.$' "$out" ||
    fail "no restart request"
grep -q '^keep-awake: held' "$out" || fail "the keep-awake lock was not taken"
echo "upgraded by the keyboard alone: $(grep -c '^vdrive ' "$out") commands traced"
[ -n "${2:-}" ] || rm -f "$out"
rm -f "$out.err"
