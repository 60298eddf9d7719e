#!/usr/bin/env bash
# The Windows program's session test, run by scripts/test-windows after the unit tests:
# flashtool-emulated.exe under wine on a private X display, upgraded once by the keyboard
# (with screenshots of the main dialog and the About box) and once by the mouse;
# flashtool.exe started and its notice declined (which touches no drive); then the Linux
# flashtool-emulated, upgraded by the keyboard on its own display, whose standard output
# must be byte-identical to the wine keyboard upgrade's.
#
#   wine-sessions.sh WINE BUILD-DIR LINUX-EMULATED
#
# Skipped, with one line saying why, when the X tools cannot be installed; the comparison
# alone is skipped when there is no Linux program. WINEPREFIX must be set.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/../../scripts/lib/common.sh"
wine="$1"
dir="$2"
linux_program="$3"
program="$dir/app/win32/flashtool-emulated.exe"
xvfb="$root/tests/gui/run-under-xvfb.sh"

if ! ensure_packages "${session_packages[@]}" >/dev/null; then
    echo "wine session test not run: ${session_packages[*]} could not be installed"
    exit 0
fi
if [ ! -f "$program" ]; then
    echo "error: $program was not built"
    exit 1
fi
mkdir -p "$dir/screenshots"
status=0
# run PROGRAM MODE OUTPUT [SCREENSHOT]
run() {
    "$xvfb" "$here/wine-session.sh" "$wine" "$@" </dev/null || status=1
}
run "$program" keyboard "$dir/wine-keyboard-trace.txt" "$dir/screenshots/wine-main-dialog.png"
run "$program" mouse "$dir/wine-mouse-trace.txt"
run "$dir/app/win32/flashtool.exe" decline "$dir/wine-decline-output.txt"
[ -f "$dir/screenshots/wine-main-dialog.png" ] &&
    echo "screenshots under wine: $dir/screenshots/wine-main-dialog.png, wine-main-dialog-about.png"

if [ ! -x "$linux_program" ]; then
    echo "trace comparison not run: no Linux flashtool-emulated at $linux_program (scripts/test builds it before the Windows step)"
    exit "$status"
fi
if ! "$xvfb" "$root/tests/gui/emulated-session.sh" "$linux_program" "$dir/linux-keyboard-trace.txt" </dev/null; then
    echo "FAILED: the Linux keyboard upgrade, whose trace is the reference"
    exit 1
fi
if cmp -s "$dir/linux-keyboard-trace.txt" "$dir/wine-keyboard-trace.txt"; then
    echo "trace of the keyboard upgrade: wine and Linux byte-identical ($(wc -l <"$dir/wine-keyboard-trace.txt") lines, $(wc -c <"$dir/wine-keyboard-trace.txt") bytes)"
else
    echo "FAILED: the keyboard upgrade's trace under wine differs from the Linux one:"
    diff "$dir/linux-keyboard-trace.txt" "$dir/wine-keyboard-trace.txt" | head -n 20
    status=1
fi
exit "$status"
