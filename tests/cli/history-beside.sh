#!/bin/sh
# --history as a process beside another copy of the product: it only reads, so the
# single-instance lock another copy holds does not refuse it, and --json prints its one
# document. Nothing here opens a drive: the lock is held by flock(1), not by a copy that
# scans.
#   history-beside.sh FLASHTOOL
set -u
program=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
check() {
    name=$1
    shift
    if "$@"; then echo "PASS $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}
if ! command -v flock > /dev/null 2>&1; then
    echo "SKIP flock(1) is missing (util-linux)"
    exit 0
fi

mkdir -m 700 "$scratch/run"
export XDG_RUNTIME_DIR="$scratch/run" FLASHTOOL_HISTORY_DIR="$scratch/history"
lock="$scratch/run/$(basename "$program").lock"

flock -n "$lock" "$program" --history > "$scratch/out.txt" 2> "$scratch/err.txt"
check "beside another copy: exit 0" [ $? -eq 0 ]
check "beside another copy: the history's text" grep -qx 'No runs recorded.' "$scratch/out.txt"
check "beside another copy: nothing on standard error" [ ! -s "$scratch/err.txt" ]

flock -n "$lock" "$program" --history --json > "$scratch/out.json" 2> "$scratch/err.txt"
check "--json beside another copy: exit 0" [ $? -eq 0 ]
check "--json beside another copy: one document" python3 -c "
import json, sys
document = json.load(open(sys.argv[1]))
assert document['action'] == 'history' and document['records'] == [], document
assert document['exitStatus'] == 0 and document['error'] is None, document
" "$scratch/out.json"

echo "$failures check(s) failed"
[ "$failures" -eq 0 ]
