# flashtool --all --yes --trace through the guest's kernel: three of this build's targets,
# each on a worker of its own, written at once. Each worker holds its own drive's generic
# node with O_EXCL and opens no other (the sg driver would refuse it, busy, or refuse the
# worker that holds it); each drive received exactly what the program's trace says it was
# sent under its row, and ends at 1.0e.
# rig-drives: all.json
. "$(dirname "$0")/lib.sh"

before=$(wc -l < "$backend_trace")
started=$(date +%s)
"$flashtool" --all --yes --trace="$out/program-trace.txt" > "$out/all.txt" 2>&1
status=$?
echo "all: exit $status after $(($(date +%s) - started)) s"
grep -v '^$' "$out/all.txt"
for lun in 0 1 2; do
    received_since "$before" "$lun" > "$out/received-$lun.txt"
done
"$flashtool" --list > "$out/after.txt" 2>&1
cat "$out/after.txt"

check "all exits 0" [ "$status" -eq 0 ]
check "no drive was found busy or otherwise unusable" sh -c "! grep -q 'cannot be used' '$out/all.txt'"
check "three updates succeeded" [ "$(grep -c '======== SUCCEED ========' "$out/all.txt")" -eq 3 ]
for lun in 0 1 2; do
    # The back-end's drives come first in the scan: LUN k is row k.
    drive_lines "$lun" "$out/program-trace.txt" > "$out/sent-$lun.txt"
    check "drive $lun: 128 pages received" \
        [ "$(grep -c '^FA .* | out 16384 crc32=[0-9A-F]* | ok$' "$out/received-$lun.txt")" -eq 128 ]
    check "drive $lun: received trace identical to the program's" \
        cmp -s "$out/sent-$lun.txt" "$out/received-$lun.txt"
    check "drive $lun: a later --list shows 1.0e" \
        grep -Eq "^$lun  \"ORIN    DVD RW QV-5500A \"  1\.0e  " "$out/after.txt"
done
finish
