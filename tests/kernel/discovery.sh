# Discovery through the guest's kernel: native-scan finds the virtual drives through sysfs
# with their sg and sr nodes and their identification, and QEMU's own scsi-cd as a drive
# of another model.
. "$(dirname "$0")/lib.sh"

"$native_scan" > "$out/scan.txt" 2>&1
status=$?
cat "$out/scan.txt"

node_of() {  # node_of sg|sr: the target's node name from the sysfs listing
    grep -E "$target_sysfs_pattern" "$out/scan.txt" | sed -E "s/.* $1=($1[0-9]+).*/\1/"
}

check "native-scan exits 0" [ "$status" -eq 0 ]
check "target in sysfs with sg and sr nodes" grep -Eq "$target_sysfs_pattern" "$out/scan.txt"
check "target's sg node is a character device" [ -c "/dev/$(node_of sg)" ]
check "target's sr node is a block device" [ -b "/dev/$(node_of sr)" ]
check "target in the device table with revision 1.0d" grep -Eq "$target_row_pattern" "$out/scan.txt"
check "other virtual drives in the table" grep -Eq '^  \[[0-9]\] (ORIN    DVD RW QV-5520A 2\.1b|KESTREL DVD-ROM KD-1650 0113)$' "$out/scan.txt"
check "QEMU's scsi-cd in sysfs" grep -Eq '^  [0-9]+:0:0:0 "KESTREL CD-RW KC-4816 1\.02" sg=sg[0-9]+ sr=sr[0-9]+$' "$out/scan.txt"
check "QEMU's scsi-cd in the table as another model" grep -Eq '^  \[[0-9]\] KESTREL CD-RW KC-4816   1\.02$' "$out/scan.txt"
check "four drives in the table" [ "$(grep -Ec '^  \[[0-9]\] ' "$out/scan.txt")" -eq 4 ]
check "no message about unusable drives" sh -c "! grep -q '^\[message\]' '$out/scan.txt'"
finish
