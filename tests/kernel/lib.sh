# Shared by the guest's case scripts (run by /bin/sh from the host's root, inside the
# guest): where things are, and checks that say what failed.
out=$1
build=$(cat "$out/build-dir")
native_scan="$build/tools/native-scan/native-scan"
flashtool="$build/app/qt/flashtool"
emulated=emulated_program
backend_trace="$out/backend-trace.txt"
failures=0

# Both programs keep a history, as the product does on any computer, and so both read a
# drive's serial number at a run's mark: the product in the guest's memory (the host's
# /var/lib is read-only here), the emulated program in a new folder at each start, as its
# drives are new at each start. Their commands then stay the same, line for line.
export FLASHTOOL_HISTORY_DIR=/run/flashtool-history
emulated_program() {
    FLASHTOOL_HISTORY_DIR=$(mktemp -d -p /run emulated-history.XXXXXX) \
        "$build/app/qt/flashtool-emulated" "$@"
}

# check NAME COMMAND...: one named check, PASS or FAIL on its own line.
check() {
    name=$1
    shift
    if "$@"; then
        echo "PASS $name"
    else
        echo "FAIL $name"
        failures=$((failures + 1))
    fi
}

# The virtual target's line in native-scan's sysfs listing, and its table row.
target_sysfs_pattern='^  [0-9]+:0:0:0 "ORIN DVD RW QV-5500A 1\.0d" sg=sg[0-9]+ sr=sr[0-9]+$'
target_row_pattern='^  \[[0-9]\] ORIN    DVD RW QV-5500A 1\.0d$'

# sg_of_lun K: the generic node of the back-end's drive K. The rig puts the back-end's
# controller first on the PCI bus, so its drives are the units of the lowest SCSI host
# (LUN k is drive k); QEMU's scsi-cd is the one unit of the other host.
back_end_host() {
    ls /sys/class/scsi_device | cut -d: -f1 | sort -n | head -n 1
}
sg_of_lun() {
    ls "/sys/class/scsi_device/$(back_end_host):0:0:$1/device/scsi_generic" 2>/dev/null |
        sed 's|^|/dev/|'
}
sg_of_scsi_cd() {
    host=$(ls /sys/class/scsi_device | cut -d: -f1 | sort -n | tail -n 1)
    ls "/sys/class/scsi_device/$host:0:0:0/device/scsi_generic" 2>/dev/null | sed 's|^|/dev/|'
}

# drive_lines N FILE: drive N's lines of a trace, without the number.
drive_lines() {
    grep "^vdrive $1: " "$2" | sed 's/^vdrive [0-9]*: //'
}

# row_of NODE: the drive's row in flashtool --list, which is also its number in the
# program's trace when every drive found answers the scan.
row_of() {
    "$flashtool" --list 2>/dev/null | grep -F " $1 " | cut -d' ' -f1
}

# The scan's INQUIRY asks for as many bytes as the pass-through layer takes: 36 over SG_IO,
# 56 in the emulated program. same_as_emulated writes both (with their digests) as one
# text, their results kept, so that the two programs' traces compare whole.
same_as_emulated() {
    sed -E 's/^12 00 00 00 (24 00 \| in 36|38 00 \| in 56) crc32=[0-9A-F]{8} \|/scan INQUIRY |/' "$1"
}

# received_since COUNT LUN: what the back-end received for LUN after its first COUNT lines.
received_since() {
    tail -n +"$(($1 + 1))" "$backend_trace" | grep "^vdrive $2: " | sed 's/^vdrive [0-9]*: //'
}

finish() {
    echo "$failures failed"
    [ "$failures" -eq 0 ]
}
