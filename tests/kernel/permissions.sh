# A user without access to the drives' nodes: flashtool --list explains what to do about
# each drive, lists none, and sends nothing. With the nodes in a group that may read and
# write them (as udev leaves them on Debian: cdrom, 0660) it names the group and the
# command that joins it; a member of that group then lists the drives.
. "$(dirname "$0")/lib.sh"

# From the guest's tmpfs, so that the build folder's permissions do not matter.
cp "$flashtool" /run/flashtool
chmod 755 /run/flashtool
# as_nobody OUTPUT [GROUP]: flashtool --list as the user nobody, in GROUP if given.
as_nobody() {
    groups=--clear-groups
    [ -n "${2:-}" ] && groups="--groups=$2"
    before=$(wc -l < "$backend_trace")
    setpriv --reuid=nobody --regid=nogroup "$groups" /run/flashtool --list --trace \
        > "$out/$1.txt" 2> "$out/$1-errors.txt"
    status=$?
    after=$(wc -l < "$backend_trace")
    echo "== $1: exit $status"
    cat "$out/$1.txt" "$out/$1-errors.txt"
}

root_only='this program was not allowed to open the drive. Run this program as root, or ask the administrator for read and write access to the device node.'
as_nobody root-only
check "root-only: exit 1, no access to the drives" [ "$status" -eq 1 ]
check "root-only: nodes are root's only" [ "$(stat -c '%U:%G %a' "$(sg_of_lun 0)")" = "root:root 600" ]
check "root-only: the target's message" grep -Fq "ORIN DVD RW QV-5500A 1.0d (/dev/sg" "$out/root-only-errors.txt"
check "root-only: what to do, for each of the four drives" \
    [ "$(grep -Fc "$root_only" "$out/root-only-errors.txt")" -eq 4 ]
check "root-only: no drive listed" [ ! -s "$out/root-only.txt" ]
check "root-only: nothing sent by the program" sh -c "! grep -q '^vdrive' '$out/root-only-errors.txt'"
check "root-only: nothing received by the drives" [ "$after" -eq "$before" ]

for node in /dev/sg*; do
    chgrp cdrom "$node" && chmod 660 "$node"
done
as_nobody group
check "group: exit 1, no access to the drives" [ "$status" -eq 1 ]
check "group: the group and how to join it" grep -Fq 'Members of the group "cdrom" that owns the device node may open it for reading and writing and send the drive every command: add your user to that group (sudo usermod -aG cdrom $USER), log in again and start this program again, or run this program as root.' "$out/group-errors.txt"
check "group: nothing received by the drives" [ "$after" -eq "$before" ]

as_nobody member cdrom
check "member: exit 0" [ "$status" -eq 0 ]
check "member: the four drives listed" [ "$(grep -Ec '^[0-9]+  "' "$out/member.txt")" -eq 4 ]
check "member: the target can be updated" grep -Eq '^[0-9]+  "ORIN    DVD RW QV-5500A "  1\.0d  .*can update: 1\.0d -> 1\.0e$' "$out/member.txt"
check "member: the scan's INQUIRY reached the drives" [ "$after" -eq $((before + 3)) ]
finish
