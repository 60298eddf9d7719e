#!/bin/sh
# One example build's emulated program, through the command line, against the build's own
# emulated drives: --version names the build; the whole upgrade ends with exit 0, the drive
# at the build's revision and exactly the commands the transfer method must send; a disc in
# model this build is not for (row 1 of the build's drives) is refused (16) with nothing
# sent to it but the scan; a drive that is unplugged at the method's second data command
# ends the run as a failed transfer (15).
#   run-build.sh PROGRAM DRIVES-FILE PACKAGE REVISION FAULT-OPCODE "CDB-PREFIX=COUNT" ...
# DRIVES-FILE is the build's scenario, the target's object on one line of its own.
set -u
program=$1 drives=$2 package=$3 revision=$4 fault=$5
shift 5
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
check() {
    name=$1
    shift
    if "$@"; then echo "PASS $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}

"$program" --version > "$scratch/version.txt"
check "--version: the package and the revision it installs" \
    grep -qx "package: $package" "$scratch/version.txt"
check "--version: the firmware revision" grep -qx "firmware revision: $revision" "$scratch/version.txt"
check "--version: a digest of the embedded image" \
    grep -Eqx "embedded image sha256: [0-9a-f]{64}" "$scratch/version.txt"

# The whole upgrade of row 0, the build's target.
"$program" --update 0 --yes --json --trace="$scratch/trace.txt" > "$scratch/out.txt" 2>&1
check "upgrade: exit 0" [ $? -eq 0 ]
check "upgrade: the drive reports $revision after it" \
    grep -q "\"revisionAfter\": \"$revision\", \"ending\": \"updated\"" "$scratch/out.txt"
# Nothing but row 0 is sent anything that changes it; each of the method's commands is
# sent exactly as often as the image's size asks.
check "upgrade: only row 0 after the scan" \
    sh -c "! grep -v '^vdrive 0: ' '$scratch/trace.txt' | grep -v ' 12 00 00 00 38 00 |' | grep -q ."
for expected in "$@"; do
    prefix=${expected%=*}
    count=${expected##*=}
    got=$(grep -c "^vdrive 0: $prefix .* | ok$" "$scratch/trace.txt")
    check "upgrade: $count x '$prefix' (sent $got)" [ "$got" -eq "$count" ]
done

"$program" --update 1 --yes --trace="$scratch/refused-trace.txt" > "$scratch/refused-out.txt" 2>&1
check "refusal: a drive of another model, exit 16" [ $? -eq 16 ]
check "refusal: nothing sent to it but INQUIRY and TEST UNIT READY" \
    sh -c "! grep '^vdrive 1: ' '$scratch/refused-trace.txt' | grep -v ': \\(12\\|00\\) 00 ' | grep -q ."

# The build's own drives, the target unplugged at the method's second data command (FAULT:
# the opcode, and CDB byte 1 when given).
opcode=${fault% *}
match="\"opcode\": \"$opcode\""
[ "$opcode" != "$fault" ] && match="$match, \"subFunction\": \"${fault#* }\""
sed '0,/"identification"/s/}\(,\{0,1\}\)$/, "faults": [{'"$match"', "occurrence": 2, "result": "vanish"}]}\1/' \
    "$drives" > "$scratch/vanish.json"
"$program" --drives "$scratch/vanish.json" --update 0 --yes --json --trace="$scratch/vanish-trace.txt" \
    > "$scratch/vanish-out.txt" 2>&1
check "fault: the drive gone mid-transfer, exit 15" [ $? -eq 15 ]
check "fault: one data command taken, then the drive was gone" \
    [ "$(grep -c "^vdrive 0: $fault .* | ok$" "$scratch/vanish-trace.txt")" -eq 1 ]
check "fault: nothing answered after it" \
    sh -c "sed '1,/^vdrive 0: $fault .* | ok$/d' '$scratch/vanish-trace.txt' | sed 1d | grep -q '^vdrive 0: .* | ok$'; [ \$? -ne 0 ]"
check "fault: the drive is not at $revision" \
    sh -c "! grep -q '\"revisionAfter\": \"$revision\"' '$scratch/vanish-out.txt'"

if [ $failures -ne 0 ]; then
    cat "$scratch/out.txt"
fi
[ $failures -eq 0 ]
