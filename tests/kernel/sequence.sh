# A short fixed sequence through the guest's kernel: what native-scan sent (its trace) and
# what the virtual drive received (the back-end's trace) are the same commands, bytes,
# lengths, digests and results, line for line.
. "$(dirname "$0")/lib.sh"

row=$("$native_scan" | grep -E "$target_row_pattern" | sed -E 's/^  \[([0-9])\].*/\1/')
check "target row found" [ -n "$row" ]
before=$(wc -l < "$backend_trace")
"$native_scan" --sequence "${row:-0}" > "$out/sequence.txt" 2>&1
status=$?
cat "$out/sequence.txt"
check "native-scan exits 0" [ "$status" -eq 0 ]

# The target's number in native-scan's trace is its place in discovery; in the back-end's
# it is the LUN (0). Everything after the number must match.
index=$(sed -n '/^Sequence to row/,$p' "$out/sequence.txt" | grep '^vdrive' | head -n 1 |
    sed -E 's/^vdrive ([0-9]+):.*/\1/')
grep "^vdrive ${index:-x}: " "$out/sequence.txt" | sed 's/^vdrive [0-9]*: //' > "$out/sent.txt"
tail -n +"$((before + 1))" "$backend_trace" | grep '^vdrive 0: ' | sed 's/^vdrive 0: //' \
    > "$out/received.txt"
echo "sent:"
cat "$out/sent.txt"
echo "received:"
cat "$out/received.txt"

check "five commands sent (discovery INQUIRY and the sequence)" [ "$(wc -l < "$out/sent.txt")" -eq 5 ]
check "received trace identical to sent trace" cmp -s "$out/sent.txt" "$out/received.txt"
check "no disc: TEST UNIT READY fails 2/3A" grep -qx '00 00 00 00 00 00 | none 0 crc32=00000000 | failed 2/3A' "$out/sent.txt"
check "125-byte INQUIRY ok" grep -Eq '^12 00 00 00 7D 00 \| in 125 crc32=[0-9A-F]{8} \| ok$' "$out/sent.txt"
check "handshake accepted" grep -qx 'FD F1 54 41 52 4E 00 00 00 00 00 00 | none 0 crc32=00000000 | ok' "$out/sent.txt"
check "capabilities page ok" grep -Eq '^5A 00 2A 00 00 00 00 00 1E 00 \| in 30 crc32=[0-9A-F]{8} \| ok$' "$out/sent.txt"
finish
