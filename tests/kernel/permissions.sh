# A user without access to the drives' nodes: native-scan explains what to do about each
# drive, lists none, and sends nothing.
. "$(dirname "$0")/lib.sh"

before=$(wc -l < "$backend_trace")
# From the guest's tmpfs, so that the build folder's permissions do not matter.
cp "$native_scan" /run/native-scan
chmod 755 /run/native-scan
setpriv --reuid=nobody --regid=nogroup --clear-groups /run/native-scan > "$out/nobody.txt" 2>&1
status=$?
cat "$out/nobody.txt"
after=$(wc -l < "$backend_trace")

message='this program was not allowed to open the drive. Run this program as root, or ask the administrator for read and write access to the device node.'
check "native-scan exits 0" [ "$status" -eq 0 ]
check "nodes are root's only" [ "$(stat -c '%U:%G %a' /dev/sg0)" = "root:root 600" ]
check "the target's permission message" grep -Fq "ORIN DVD RW QV-5500A 1.0d (/dev/sg" "$out/nobody.txt"
check "what to do" grep -Fq "$message" "$out/nobody.txt"
check "no drive listed" grep -q '^  (No Device found!)$' "$out/nobody.txt"
check "nothing sent by the program" sh -c "! grep -q '^vdrive' '$out/nobody.txt'"
check "nothing received by the drives" [ "$after" -eq "$before" ]
finish
