# A client nobody here wrote, sg3_utils, against the virtual drives through the guest's
# kernel: what it decodes is what a drive of the kind would have it decode. The target
# (LUN 0, no disc) identifies itself with SPC-3's version and its unit serial number, lists
# the vital product data pages it has and refuses one it has not, is not ready, and
# describes itself in GET CONFIGURATION as a DVD writer with no current profile. A DVD-ROM
# drive with a disc (LUN 1) has DVD-ROM as its current profile, a single-layer DVD's
# capacity and claims no writing. A drive without a serial number (LUN 2) lists no serial
# number page and refuses it. QEMU's own CD, without a disc, is not ready in the same words.
# rig-drives: clients.json
. "$(dirname "$0")/lib.sh"

# run NAME COMMAND...: the command's output in $out/NAME.txt, its exit status in
# $out/NAME.status; both shown in the log.
run() {
    run_name=$1
    shift
    "$@" > "$out/$run_name.txt" 2>&1
    echo $? > "$out/$run_name.status"
    echo "== $run_name: $* (exit $(cat "$out/$run_name.status"))"
    cat "$out/$run_name.txt"
}
status_of() { cat "$out/$1.status"; }
says() { grep -Fqx -- "$2" "$out/$1.txt"; }

if ! command -v sg_inq > /dev/null; then
    echo "sg3_utils is not installed on the host (scripts/kernel-rig setup installs it)"
    exit 1
fi
target=$(sg_of_lun 0)
reader=$(sg_of_lun 1)
plain=$(sg_of_lun 2)
cd=$(sg_of_scsi_cd)
check "every node found" [ -n "$target" ] && [ -n "$reader" ] && [ -n "$plain" ] && [ -n "$cd" ]

run inq sg_inq "$target"
run vpd sg_vpd "$target"
run serial sg_vpd --page=sn "$target"
before=$(wc -l < "$backend_trace")
run no-such-page sg_vpd --force --page=di "$target"
received_since "$before" 0 > "$out/no-such-page-received.txt"
run turs sg_turs "$target"
run readcap sg_readcap "$target"
run config sg_get_config "$target"
check "identification" says inq " Vendor identification: ORIN    "
check "product" says inq " Product identification: DVD RW QV-5500A "
check "revision" says inq " Product revision level: 1.0d"
check "SPC-3, a removable CD/DVD unit" grep -q 'PDT=5  RMB=1 .* version=0x05  \[SPC-3\]' "$out/inq.txt"
check "no NormACA, no HiSup, format 2" grep -q 'NormACA=0  HiSUP=0  Resp_data_format=2' "$out/inq.txt"
check "sg_inq shows the serial number" says inq " Unit serial number: QV5A0D4G1211"
check "pages 00h and 80h, nothing else" [ "$(grep -c '^  ' "$out/vpd.txt")" -eq 2 ]
check "page 00h listed" says vpd "  Supported VPD pages [sv]"
check "page 80h listed" says vpd "  Unit serial number [sn]"
check "the serial number page" says serial "  Unit serial number: QV5A0D4G1211"
check "another page refused as an illegal request" [ "$(status_of no-such-page)" -eq 5 ]
check "with INVALID FIELD IN CDB" grep -q '^12 01 83 .* | failed 5/24$' "$out/no-such-page-received.txt"
check "TEST UNIT READY: not ready" [ "$(status_of turs)" -eq 2 ]
check "READ CAPACITY: not ready" [ "$(status_of readcap)" -eq 2 ]
check "no current profile" says config "No current profile"
check "a DVD writer's profiles" [ "$(grep -c '^      profile: ' "$out/config.txt")" -eq 10 ]
check "DVD+R among them" says config "      profile: DVD+R , currentP=0"
check "core feature" says config "      Physical interface standard: ATAPI, INQ2=0, DBE=1"
check "morphing feature" says config "      OCEvent=1, ASYNC=0"
check "removable medium feature" says config "      Load=0, Eject=1, Prevent jumper=0, Lock=1"

run reader-turs sg_turs "$reader"
run reader-readcap sg_readcap "$reader"
run reader-config sg_get_config "$reader"
run reader-modes sg_modes --page=0x2a "$reader"
check "reader: ready with its disc" [ "$(status_of reader-turs)" -eq 0 ]
check "reader: a single-layer DVD" \
    says reader-readcap "   Last LBA=2295103 (0x23053f), Number of logical blocks=2295104"
check "reader: 2048-byte blocks" says reader-readcap "   Logical block length=2048 bytes"
check "reader: DVD-ROM is current" says reader-config "Current profile: DVD-ROM"
check "reader: DVD-ROM and CD-ROM only" [ "$(grep -c '^      profile: ' "$out/reader-config.txt")" -eq 2 ]
check "reader: DVD-ROM's profile is current" says reader-config "      profile: DVD-ROM , currentP=1"
check "reader: the capabilities page claims no writing" grep -q '^ 00     2a 14 3f 00 ' "$out/reader-modes.txt"

run plain-inq sg_inq "$plain"
run plain-vpd sg_vpd "$plain"
run plain-serial sg_vpd --force --page=sn "$plain"
check "no serial number: sg_inq shows none" sh -c "! grep -q 'Unit serial number' '$out/plain-inq.txt'"
check "no serial number: page 00h alone" [ "$(grep -c '^  ' "$out/plain-vpd.txt")" -eq 1 ]
check "no serial number: page 80h refused" [ "$(status_of plain-serial)" -eq 5 ]

run cd-turs sg_turs "$cd"
run cd-readcap sg_readcap "$cd"
check "not ready as QEMU's own CD is" [ "$(status_of cd-turs)" -eq "$(status_of turs)" ]
check "no capacity as QEMU's own CD has none" cmp -s "$out/cd-readcap.txt" "$out/readcap.txt"
finish
