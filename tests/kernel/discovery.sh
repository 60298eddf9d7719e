# Discovery through the guest's kernel: flashtool --list finds the virtual drives through
# sysfs with their sg and sr nodes and their identification, and QEMU's own scsi-cd as a
# drive of another model, which it cannot update. native-scan shows what sysfs lists.
. "$(dirname "$0")/lib.sh"

"$native_scan" > "$out/scan.txt" 2>&1
"$flashtool" --list > "$out/list.txt" 2> "$out/list-errors.txt"
status=$?
"$flashtool" --list --json > "$out/list.json" 2>/dev/null
cat "$out/scan.txt" "$out/list.txt" "$out/list-errors.txt" "$out/list.json"

target=$(grep -E '^[0-9]+  "ORIN    DVD RW QV-5500A "' "$out/list.txt")
sg=$(echo "$target" | grep -o '/dev/sg[0-9]*')
sr=$(echo "$target" | grep -o '/dev/sr[0-9]*')
check "flashtool --list exits 0" [ "$status" -eq 0 ]
check "target listed at 1.0d with both nodes, can update" sh -c "echo '$target' |
    grep -Eq '^[0-9]+  \"ORIN    DVD RW QV-5500A \"  1\.0d  /dev/sg[0-9]+ /dev/sr[0-9]+  can update: 1\.0d -> 1\.0e$'"
check "target's sg node is the back-end's LUN 0" [ "$sg" = "$(sg_of_lun 0)" ]
check "target's sg node is a character device" [ -c "$sg" ]
check "target's sr node is a block device" [ -b "$sr" ]
check "target in sysfs at 1.0d" grep -Eq "$target_sysfs_pattern" "$out/scan.txt"
check "other virtual drives listed" grep -Fq '"ORIN    DVD RW QV-5520A "  2.1b  /dev/sg' "$out/list.txt"
check "and another" grep -Fq '"KESTREL DVD-ROM KD-1650 "  0113  /dev/sg' "$out/list.txt"
check "three drives of other models" [ "$(grep -Fc "cannot update: it is not this build's model" "$out/list.txt")" -eq 3 ]
check "QEMU's scsi-cd listed as another model" grep -Eq \
    '^[0-9]+  "KESTREL CD-RW KC-4816   "  1\.02  /dev/sg[0-9]+ /dev/sr[0-9]+  cannot update' \
    "$out/list.txt"
check "four drives listed" [ "$(grep -Ec '^[0-9]+  "' "$out/list.txt")" -eq 4 ]
check "nothing said about unusable drives" [ ! -s "$out/list-errors.txt" ]
check "the JSON list names the target's revision" grep -q '"revision": "1.0d"' "$out/list.json"
finish
