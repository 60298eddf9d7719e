#!/bin/sh
# flashtool-emulated --drives with a wrong file: one line on standard error, nothing on
# standard output (no command was sent), status 1, and no window (no display is offered).
#   stops-on-a-wrong-file.sh PROGRAM FILE EXPECTED-MESSAGE
# FLASHTOOL_LAUNCHER, when set, starts the program (wine, for the Windows build).
program="$1"
file="$2"
expected="$3"
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb ${FLASHTOOL_LAUNCHER:-} "$program" --drives "$file" >"$out" 2>"$err"
status=$?
if [ "$status" -ne 1 ] || [ -s "$out" ] || [ "$(cat "$err")" != "$expected" ]; then
    echo "status $status (expected 1)"
    echo "stdout:"; cat "$out"
    echo "stderr:"; cat "$err"
    echo "expected on stderr: $expected"
    exit 1
fi
