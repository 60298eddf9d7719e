#!/usr/bin/env bash
# zip-entries.sh ZIP PACKAGE: the Windows zip holds PACKAGE.exe, PACKAGE-emulated.exe, their
# console programs PACKAGE-cli.exe and PACKAGE-emulated-cli.exe, LICENSE.txt and README.txt,
# and nothing else; its README names the four programs and ends its lines as Windows does.
set -u
zip=$1 package=$2
failures=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
if ! command -v unzip >/dev/null; then
    echo "windows_zip_entries: skipped, unzip is not installed"
    exit 77
fi
check "the zip holds the programs by their package's name" \
    [ "$(unzip -Z1 "$zip" | sort)" = "$(printf '%s\n' LICENSE.txt README.txt "$package-emulated.exe" "$package.exe" \
        "$package-cli.exe" "$package-emulated-cli.exe" | sort)" ]
readme=$(mktemp)
trap 'rm -f "$readme"' EXIT
unzip -p "$zip" README.txt > "$readme"
cr=$'\r'
check "README.txt names $package.exe" grep -qx "$package.exe$cr" "$readme"
for program in "$package-emulated.exe" "$package-cli.exe" "$package-emulated-cli.exe"; do
    check "README.txt names $program" grep -qx "$program$cr" "$readme"
done
check "README.txt: every line ends in CR LF" test "$(grep -cv "$cr\$" "$readme")" -eq 0
[ $failures -eq 0 ]
