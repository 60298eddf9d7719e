#!/usr/bin/env bash
# with-logind-mock.sh PROGRAM [ARGS...]: runs PROGRAM with DBUS_SYSTEM_BUS_ADDRESS pointed
# at a private bus, on which python3-dbusmock's logind template (logind-mock.py) owns
# org.freedesktop.login1. Both are started here and stopped again, whatever PROGRAM does;
# the machine's own system bus is never touched. Exits 77 (skipped) when dbus-daemon or
# python3-dbusmock is missing.
set -u
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# Debian's python3-dbusmock belongs to the system's Python, whatever python3 is on PATH.
python=/usr/bin/python3

if ! command -v dbus-daemon >/dev/null 2>&1 || ! command -v dbus-send >/dev/null 2>&1; then
    echo "logind_bus: skipped, dbus-daemon or dbus-send is missing (packages dbus-daemon, dbus-bin)"
    exit 77
fi
if ! "$python" -c 'import dbusmock' >/dev/null 2>&1; then
    echo "logind_bus: skipped, python3-dbusmock is missing"
    exit 77
fi

dir="$(mktemp -d)"
bus_pid=""
mock_pid=""
cleanup() {
    [ -n "$mock_pid" ] && kill "$mock_pid" 2>/dev/null && wait "$mock_pid" 2>/dev/null
    [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null && wait "$bus_pid" 2>/dev/null
    rm -rf "$dir"
}
trap cleanup EXIT

cat >"$dir/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <listen>unix:path=$dir/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
CONF

dbus-daemon --config-file="$dir/bus.conf" --nofork --nopidfile --print-address=3 3>"$dir/address" \
    2>"$dir/bus.log" &
bus_pid=$!
# Waits for a condition, polling briefly; gives up after about 10 seconds.
wait_for() {
    local i
    for i in $(seq 200); do
        "$@" && return 0
        sleep 0.05
    done
    return 1
}
if ! wait_for test -s "$dir/address"; then
    echo "error: the private bus did not start" >&2
    exit 1
fi
export DBUS_SYSTEM_BUS_ADDRESS="$(head -n 1 "$dir/address")"

"$python" "$here/logind-mock.py" --logfile "$dir/mock.log" >"$dir/mock.out" 2>&1 &
mock_pid=$!
name_owned() {
    dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.login1 2>/dev/null |
        grep -q 'boolean true'
}
if ! wait_for name_owned; then
    echo "error: the logind mock did not take its name; its output:" >&2
    cat "$dir/mock.out" >&2
    exit 1
fi

"$@"
