# The whole upgrade through the guest's kernel: flashtool --update /dev/sgN --yes --trace
# upgrades the virtual target. What the program sent (its trace), what the drive received
# (the back-end's trace) and what the emulated program sends in the same upgrade of the
# same drive are the same commands, bytes, lengths, digests and results, line for line;
# the drive then reports 1.0e.
. "$(dirname "$0")/lib.sh"

sg=$(sg_of_lun 0)
check "target's node found" [ -n "$sg" ]
before=$(wc -l < "$backend_trace")
started=$(date +%s)
"$flashtool" --update "$sg" --yes --trace="$out/program-trace.txt" > "$out/update.txt" 2>&1
status=$?
echo "update: exit $status after $(($(date +%s) - started)) s"
cat "$out/update.txt"
# Everything LUN 0 received while the program ran. The kernel sends the drive nothing of
# its own meanwhile (it did all that at attach; the program opens only the generic node,
# whose open sends nothing, and no one polls the tray), so nothing is filtered: a command
# of the kernel's would show here as a difference.
received_since "$before" 0 > "$out/received.txt"
echo "received: $(wc -l < "$out/received.txt") lines"
"$flashtool" --list > "$out/after.txt" 2>&1
cat "$out/after.txt"
"$emulated" --update 0 --yes --trace="$out/emulated-trace.txt" > "$out/emulated.txt" 2>&1
emulated_status=$?

# The target's lines in the program's trace: its number there is its place in the scan.
index=$(grep -E '^[0-9]+  "ORIN    DVD RW QV-5500A "' "$out/after.txt" | grep -F "$sg " |
    cut -d' ' -f1)
drive_lines "${index:-x}" "$out/program-trace.txt" > "$out/sent.txt"
drive_lines 0 "$out/emulated-trace.txt" > "$out/emulated-sent.txt"
same_as_emulated "$out/sent.txt" > "$out/sent-scan-as-one.txt"
same_as_emulated "$out/emulated-sent.txt" > "$out/emulated-scan-as-one.txt"

check "update exits 0" [ "$status" -eq 0 ]
check "the program says it succeeded" grep -q '======== SUCCEED ========' "$out/update.txt"
check "128 pages sent" [ "$(grep -c '^FA .* | out 16384 crc32=[0-9A-F]* | ok$' "$out/sent.txt")" -eq 128 ]
check "received trace identical to the program's" cmp -s "$out/sent.txt" "$out/received.txt"
check "emulated update exits 0" [ "$emulated_status" -eq 0 ]
check "the program scans with a 36-byte INQUIRY" grep -q '^12 00 00 00 24 00 | in 36 ' "$out/sent.txt"
check "the emulated program's trace identical to the program's but for that" \
    cmp -s "$out/sent-scan-as-one.txt" "$out/emulated-scan-as-one.txt"
check "a later --list shows 1.0e" grep -Eq "^[0-9]+  \"ORIN    DVD RW QV-5500A \"  1\.0e  $sg " \
    "$out/after.txt"
[ "$failures" -eq 0 ] || diff "$out/sent.txt" "$out/received.txt" | head -n 20
finish
