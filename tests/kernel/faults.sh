# Refusals and faults through the guest's kernel, each against the emulated program with
# the same drive: same exit status, same commands and results; for the back-end's drives
# also what the drive received, line for line.
#   disc present (LUN 1): refused before anything that changes the drive;
#   handshake refused: QEMU's scsi-cd, with this build's target's identification, answers
#     the vendor handshake 05/20/00, as any drive of another make does;
#   time-out (LUN 2): the drive keeps the handshake 17 s, past the program's 15 s. The
#     guest's virtio-scsi driver never times a command out itself (it leaves that to the
#     host and restarts its timer), so the ioctl returns only when the back-end gives up
#     and answers it as aborted; the program must still see a time-out, and send nothing
#     the emulated program would not;
#   vanish (LUN 3): the drive is gone from the 64th page on.
# While the handshake is held, another program tries to open the same drive: the program's
# exclusive open (O_EXCL on the generic node) keeps it out.
# rig-drives: faults.json
# rig-cd: ORIN,DVD RW QV-5500A,1.0d
. "$(dirname "$0")/lib.sh"

# fault NAME NODE LUN SCENARIO: --update NODE through the kernel, and the emulated program
# over SCENARIO's one drive; LUN - for a drive that is not the back-end's.
fault() {
    fault_name=$1 node=$2 lun=$3 scenario=$4
    row=$(row_of "$node")
    before=$(wc -l < "$backend_trace")
    started=$(date +%s)
    "$flashtool" --update "$node" --yes --trace="$out/$fault_name-trace.txt" \
        > "$out/$fault_name.txt" 2>&1 &
    program=$!
    [ "$fault_name" = time-out ] && while_held "$node" "$out/$fault_name-trace.txt"
    wait "$program"
    status=$?
    echo "== $fault_name: $node (row $row), exit $status after $(($(date +%s) - started)) s"
    cat "$out/$fault_name.txt"
    drive_lines "${row:-x}" "$out/$fault_name-trace.txt" > "$out/$fault_name-sent.txt"
    if [ "$lun" != - ]; then
        received_since "$before" "$lun" > "$out/$fault_name-received.txt"
        check "$fault_name: received trace identical to the program's" \
            cmp -s "$out/$fault_name-sent.txt" "$out/$fault_name-received.txt"
    fi
    "$emulated" --drives "$scenario" --update 0 --yes --trace="$out/$fault_name-emulated-trace.txt" \
        > "$out/$fault_name-emulated.txt" 2>&1
    emulated_status=$?
    drive_lines 0 "$out/$fault_name-emulated-trace.txt" > "$out/$fault_name-emulated-sent.txt"
    check "$fault_name: exit status $emulated_status as the emulated program's" \
        [ "$status" -eq "$emulated_status" ]
    # QEMU's drive answers INQUIRY with other bytes than the virtual one: digests differ.
    digests='s/^$//'
    [ "$lun" = - ] && digests='s/crc32=[0-9A-F]{8}/crc32=-/'
    same_as_emulated "$out/$fault_name-sent.txt" | sed -E "$digests" > "$out/$fault_name-compared.txt"
    same_as_emulated "$out/$fault_name-emulated-sent.txt" | sed -E "$digests" \
        > "$out/$fault_name-emulated-compared.txt"
    check "$fault_name: trace as the emulated program's" \
        cmp -s "$out/$fault_name-compared.txt" "$out/$fault_name-emulated-compared.txt"
    cat "$out/$fault_name-sent.txt"
}

# while_held NODE TRACE: while the program waits on the held handshake (its trace has both
# TEST UNIT READYs, the handshake is out), the generic node is the program's alone: another
# program's open of it, as the program itself opens it (read-write, not blocking), fails
# busy. Only the open is tried: any command would wait behind the held one, and with it
# past the end of the program's hold.
while_held() {
    waited=0
    while [ "$(cat "$2" 2>/dev/null | grep -c ': 00 00 00 00 00 00 ')" -lt 2 ] &&
        [ $waited -lt 100 ]; do
        sleep 0.2
        waited=$((waited + 1))
    done
    python3 -c "
import errno, os, sys
try:
    os.close(os.open(sys.argv[1], os.O_RDWR | os.O_NONBLOCK))
    print('opened')
except OSError as error:
    print(errno.errorcode[error.errno])
" "$1" > "$out/while-held.txt" 2>&1
    check "while held: another program's open of the node fails busy" \
        [ "$(cat "$out/while-held.txt")" = EBUSY ]
    check "while held: the handshake was still out" \
        sh -c "! grep -q '^vdrive [0-9]*: FD ' '$2'"
}

cat > "$out/handshake-refused.json" <<'JSON'
{"drives": [{"identification": "ORIN    DVD RW QV-5500A ", "revision": "1.0d",
  "faults": [{"opcode": "FD", "result": "check-condition", "sense": "05/20/00"}]}]}
JSON
# The emulated drives carry the serial numbers of the rig's (faults.json): both programs read
# a drive's serial number as a run leaves its mark, and the traces compare whole.
cat > "$out/time-out.json" <<'JSON'
{"drives": [{"identification": "ORIN    DVD RW QV-5500A ", "revision": "1.0d",
  "oemTag": "ORIN      QZ   ", "serial": "QV5A0D4G1209",
  "faults": [{"opcode": "FD", "result": "timeout", "delayMs": 0}]}]}
JSON
scenarios="$(dirname "$0")/../../scenarios"

fault disc-present "$(sg_of_lun 1)" 1 "$scenarios/disc-in-tray.json"
check "disc-present: exit 19" [ "$status" -eq 19 ]
check "disc-present: nothing that changes a drive sent" sh -c "! grep -Eq '^(FA|F5|FD)' '$out/disc-present-sent.txt'"

fault handshake-refused "$(sg_of_scsi_cd)" - "$out/handshake-refused.json"
check "handshake-refused: the scsi-cd refused the handshake 05/20" \
    grep -q '^FD F1 54 41 52 4E 00 00 00 00 00 00 | none 0 crc32=00000000 | failed 5/20$' \
    "$out/handshake-refused-sent.txt"

fault time-out "$(sg_of_lun 2)" 2 "$out/time-out.json"
check "time-out: the handshake timed out" \
    grep -q '^FD F1 54 41 52 4E 00 00 00 00 00 00 | none 0 crc32=00000000 | timedout$' \
    "$out/time-out-sent.txt"
check "time-out: nothing after it but the identification read again" \
    [ "$(sed -n '/^FD .*timedout$/,$p' "$out/time-out-sent.txt" | grep -Evc '^(FD|12) ')" -eq 0 ]

fault vanish "$(sg_of_lun 3)" 3 "$scenarios/vanishes-mid-transfer.json"
check "vanish: 64 pages reached the drive" \
    [ "$(grep -c '^FA .* | out 16384 ' "$out/vanish-received.txt")" -eq 64 ]
finish
