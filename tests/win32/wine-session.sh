#!/bin/sh
# flashtool-emulated.exe started under wine as a person would, on an X display, and driven
# through a whole upgrade of the virtual target, like the Linux program's session test
# (tests/gui/emulated-session.sh): Enter on the notice, then either the About box from the
# system menu, Tab and Down to the target and Space on Upgrade (keyboard), or a click on the
# target and one on Upgrade (mouse); Enter on each question, then Escape (or a click on
# Exit) to leave. Standard
# output must show the trace line of every command sent. Run it under
# tests/gui/run-under-xvfb.sh, with WINEPREFIX set.
#
#   wine-session.sh WINE PROGRAM keyboard|mouse|decline OUTPUT [SCREENSHOT]
set -u
wine="$1"
program="$2"
mode="$3"
out="$4"
screenshot="${5:-}"
caption="Flash Program for ORIN DVD RW QV-5500A"

fail() {
    echo "FAILED ($mode): $*"
    echo "--- standard output of the program (last lines):"
    tail -n 20 "$out"
    exit 1
}

"$wine" "$program" >"$out" 2>/dev/null </dev/null &
pid=$!
trap 'kill $pid 2>/dev/null' EXIT

# The id of the visible top-level window with exactly this title, waiting up to 60 s (the
# first start of a wine prefix on a display takes a while).
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

# click WINDOW-ID X Y: a left click at these dialog units of the dialog. Wine draws a
# dialog's controls inside its one X window, so they are found by the dialog's template:
# the X window is the client area, 310 by 156 dialog units.
click() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove --window "$1" $(($2 * WIDTH / 310)) $(($3 * HEIGHT / 156)) \
        click 1 || fail "click at $2,$3"
    sleep 0.5
}

# Declining the notice ends the program before its transport is loaded: nothing is sent to
# any drive, so this mode may start the product itself (flashtool.exe).
if [ "$mode" = decline ]; then
    keys "Warning" Escape
    keys "$(basename "$program" .exe)" Return   # User cancelled.
    for _ in $(seq 1 100); do
        kill -0 $pid 2>/dev/null || break
        sleep 0.1
    done
    kill -0 $pid 2>/dev/null && fail "the program did not end when the notice was declined"
    wait $pid || fail "the program ended with status $?"
    trap - EXIT
    [ ! -s "$out" ] || fail "output although the notice was declined"
    echo "$(basename "$program") under wine: the notice declined, the program ended"
    exit 0
fi

keys "Warning" Return
main="$(window "$caption")"
[ -n "$main" ] || fail "no main dialog titled '$caption'"
if [ "$mode" = mouse ]; then
    # The target is the tree's second row (rows of about 9 units from the top at 13).
    click "$main" 60 27
    click "$main" 221 143                  # Upgrade
else
    # The About entry is the system menu's last item (wine adds one of its own above).
    keys "$caption" alt+space Up Return
    about="$(window "About Halden Flash Tool")"
    [ -n "$about" ] || fail "no About box from the system menu"
    [ -z "$screenshot" ] || import -window "$about" "${screenshot%.png}-about.png" 2>/dev/null
    keys "About Halden Flash Tool" Return
    for _ in $(seq 1 50); do
        xdotool search --onlyvisible --name "^About Halden Flash Tool\$" >/dev/null 2>&1 || break
        sleep 0.1
    done
    keys "$caption" Tab Down
fi
if [ -n "$screenshot" ]; then
    sleep 1
    import -window "$main" "$screenshot" 2>/dev/null || echo "note: no screenshot taken"
fi
[ "$mode" = mouse ] || keys "$caption" Tab space
keys "flashtool-emulated" Return           # Do you really want to upgrade ?
keys "Information" Return                  # Firmware has been updated successfully !
keys "Reboot Warning" Return               # Your computer needs to be rebooted.
# The worker still reads the drive's new identification after the last box is answered,
# and the dialog refuses to end while a run is in progress: a leave command that lands in
# that moment is rightly ignored, so it is given again (at most three times) until the
# program ends.
for _ in 1 2 3; do
    if [ "$mode" = mouse ]; then
        click "$main" 89 143               # Exit
    else
        keys "$caption" Escape
    fi
    for _ in $(seq 1 50); do
        kill -0 $pid 2>/dev/null || break
        sleep 0.1
    done
    kill -0 $pid 2>/dev/null || break
done
kill -0 $pid 2>/dev/null && fail "the program did not end"
wait $pid || fail "the program ended with status $?"
trap - EXIT

pages=$(grep -c '^vdrive 0: FA .* | out 16384 crc32=[0-9A-F]\{8\} | ok$' "$out")
[ "$pages" -eq 128 ] || fail "$pages page commands traced, not 128"
grep -q '^vdrive 0: 12 00 00 00 38 00 | in 56 ' "$out" || fail "no scan traced"
grep -q '^vdrive 0: 12 00 00 00 7D 00 | in 125 ' "$out" || fail "no identification check traced"
grep -q '^vdrive 0: FD F1 54 41 52 4E' "$out" || fail "no handshake traced"
grep -q '^vdrive 0: 5A 00 2A ' "$out" || fail "no capabilities page read traced"
grep -q '^Restart requested: the emulated build does not restart the computer.$' "$out" ||
    fail "no restart request"
grep -q '^keep-awake: held' "$out" || fail "the keep-awake lock was not taken"
grep -q "$(printf '\r')" "$out" && fail "carriage returns in the trace"
echo "upgraded under wine by the $mode: $(grep -c '^vdrive ' "$out") commands traced"
