# Shared by the guest's case scripts (run by /bin/sh from the host's root, inside the
# guest): where things are, and checks that say what failed.
out=$1
build=$(cat "$out/build-dir")
native_scan="$build/tools/native-scan/native-scan"
backend_trace="$out/backend-trace.txt"
failures=0

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

finish() {
    echo "$failures failed"
    [ "$failures" -eq 0 ]
}
