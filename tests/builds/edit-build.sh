#!/usr/bin/env bash
# A build folder is a source like any other: a tree configured from a copy of builds/pd-700
# is built, its build.txt edited (a new revision), and the tree built again with nothing but
# the build command: the configure step runs again by itself, and the program's --version,
# the region it carries, the package's version, the manual page, the changelog and the
# software-centre release all say the new revision. Then what the packer refuses stops the
# configure step with the packer's own message, by file, line and field: a firmware file
# named that does not exist, one deleted after the tree was configured, a firmware that
# cannot fit its payload, a bad field; and the tree builds again once the folder is right.
#
#   edit-build.sh SOURCE-ROOT VERSION CXX LIBRARIES
#
# LIBRARIES: the program tree's libbuildconfig, libchecksums and libcore (':' between).
set -u
root=$1 version=$2 cxx=$3 libraries=${4//:/;}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
build="$scratch/pd-700"
tree="$scratch/tree"
cp -r "$root/builds/pd-700" "$build"
cp "$build/build.txt" "$scratch/good.txt"
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)

# Everything the build says of its revision, one line each.
revisions() {
    "$tree/identity" | sed -n 's/^firmware revision: //p; s/^region revision: //p'
    cat "$tree/package-version.txt"
    sed -n 's/^\.TH [^ ]* 1 "[^"]*" "[^ ]* \(.*\)" .*/\1/p' "$tree/files/flashtool-pd-700.1"
    sed -n '1s/^flashtool-pd-700 (\(.*\)) .*/\1/p' "$tree/files/changelog"
    sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$tree/files/"*.metainfo.xml
}
one_revision() {
    local want="$1"
    local got
    got="$(revisions | tr '\n' ' ')"
    [ "$got" = "$want $want $want+$version $want+$version $want+$version $want+$version " ] ||
        { echo "    they say: $got"; return 1; }
}

cmake -S "$root/tests/builds/edit-tree" -B "$tree" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_COMPILER="$cxx" -DFLASHTOOL_BUILD="$build" -DFLASHTOOL_VERSION="$version" \
    "-DFLASHTOOL_LIBRARIES=$libraries" > "$scratch/configure.txt" 2>&1
check "the tree configures" test $? -eq 0 || cat "$scratch/configure.txt"
cmake --build "$tree" > "$scratch/build.txt" 2>&1
check "the tree builds" test $? -eq 0 || cat "$scratch/build.txt"
check "everything says 3.1c" one_revision 3.1c

sed -i 's/^revision .*/revision        "3.1d"/' "$build/build.txt"
cmake --build "$tree" > "$scratch/rebuild.txt" 2>&1
check "an edit of build.txt: the build command configures again and builds" test $? -eq 0 ||
    cat "$scratch/rebuild.txt"
check "everything says 3.1d" one_revision 3.1d

# build.txt's line of FIELD.
line_of() { grep -n "^$1 " "$build/build.txt" | cut -d: -f1; }
# refused WHAT EXPECTED: the build command fails with the packer's line EXPECTED, and not
# with the build tool's own complaint.
refused() {
    local what="$1" expected="$2"
    cmake --build "$tree" > "$scratch/refused.txt" 2>&1
    local status=$?
    check "$what: refused" test $status -ne 0
    check "$what: the packer says '$expected'" grep -qF "$expected" "$scratch/refused.txt"
    check "$what: not the build tool" sh -c "! grep -q 'no known rule' '$scratch/refused.txt'"
}
sed -i 's/^image-a .*/image-a         "missing.bin"/' "$build/build.txt"
refused "a firmware file that does not exist" \
    "build.txt:$(line_of image-a): image-a \"missing.bin\": no such file"
cp "$scratch/good.txt" "$build/build.txt"
sed -i 's/^revision .*/revision        "3.1d"/' "$build/build.txt"
check "the folder right again: it builds" cmake --build "$tree" > /dev/null 2>&1
mv "$build/firmware.bin" "$scratch/firmware.bin"
refused "the firmware file deleted after configuring" \
    "build.txt:$(line_of image-a): image-a \"firmware.bin\": no such file"
mv "$scratch/firmware.bin" "$build/firmware.bin"
echo "payload-a-size  16384" >> "$build/build.txt"
refused "a firmware that cannot fit its payload" \
    "build.txt:$(line_of image-a): image-a \"firmware.bin\" (payload-a-size on line $(line_of payload-a-size)): the compressed payload cannot fit"
sed -i '/^payload-a-size/d; s/^maintainer .*/maintainer      "Pallas Firmware Team"/' "$build/build.txt"
refused "a bad field" "build.txt:$(line_of maintainer): maintainer \"Pallas Firmware Team\" is not a name and an address"
sed -i 's/^maintainer .*/maintainer      "Pallas Firmware Team <firmware@pallas.example>"/' "$build/build.txt"
cmake --build "$tree" > "$scratch/last.txt" 2>&1
check "the folder right again: it builds" test $? -eq 0 || cat "$scratch/last.txt"
check "everything still says 3.1d" one_revision 3.1d
[ $failures -eq 0 ]
