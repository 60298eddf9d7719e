#!/bin/sh
# Two copies of flashtool-emulated on one computer: the first holds the single-instance lock
# (it waits at its start-up notice), the second is refused with its message and ends with
# exit 1 once its box is answered. Runs on Qt's offscreen platform: no display needed.
set -u
program="$1"
dir="$(mktemp -d)"
trap 'kill $first $second 2>/dev/null; rm -rf "$dir"' EXIT
export QT_QPA_PLATFORM=offscreen
expected="Another copy of this program is already running. Only one copy at a time may update drives: close the other one, then start this one again."

"$program" >"$dir/first.out" 2>"$dir/first.err" &
first=$!
second=""
# The first copy holds the lock once it shows its notice; give it up to 20 s to get there.
lock=""
for folder in /run/lock /var/lock /tmp; do
    [ -e "$folder/flashtool-emulated.lock" ] && lock="$folder/flashtool-emulated.lock" && break
done
i=0
while [ $i -lt 200 ]; do
    for folder in /run/lock /var/lock /tmp; do
        [ -e "$folder/flashtool-emulated.lock" ] && lock="$folder/flashtool-emulated.lock"
    done
    if [ -n "$lock" ] && ! flock -n "$lock" true 2>/dev/null; then
        break
    fi
    i=$((i + 1))
    sleep 0.1
done
[ $i -lt 200 ] || { echo "FAILED: the first copy never took the lock"; exit 1; }

"$program" >"$dir/second.out" 2>"$dir/second.err" &
second=$!
i=0
while [ $i -lt 200 ] && ! grep -qF "$expected" "$dir/second.err"; do
    i=$((i + 1))
    sleep 0.1
done
if ! grep -qF "$expected" "$dir/second.err"; then
    echo "FAILED: the second copy did not say why it cannot start"
    cat "$dir/second.err"
    exit 1
fi
if [ -s "$dir/second.out" ]; then
    echo "FAILED: the second copy sent commands:"
    cat "$dir/second.out"
    exit 1
fi
kill "$second" 2>/dev/null
echo "the second copy was refused: $expected"
