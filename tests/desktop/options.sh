#!/usr/bin/env bash
# options.sh PROGRAM NAME VERSION: the program's options, with no display to open a window
# on. NAME is what the program must call itself (the build's package, or the package's name
# and "-emulated"), whatever its file is called; VERSION the package's version.
set -u
program="$1"
name="$2"
version="$3"
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb
failures=0

# expect NAME STATUS STDOUT STDERR ARGS...: runs the program and compares exactly.
expect() {
    local what="$1" status="$2" stdout="$3" stderr="$4"
    shift 4
    local out err rc
    out="$("$program" "$@" 2>/dev/null; echo x)"
    err="$("$program" "$@" 2>&1 >/dev/null; echo x)"
    "$program" "$@" >/dev/null 2>&1
    rc=$?
    if [ $rc -ne "$status" ] || [ "$out" != "${stdout}x" ] || [ "$err" != "${stderr}x" ]; then
        echo "FAIL $what: exit $rc (wanted $status)"
        printf -- '--- stdout:\n%s\n--- stderr:\n%s\n' "${out%x}" "${err%x}"
        failures=$((failures + 1))
    else
        echo "ok   $what"
    fi
}

usage="$("$program" --help; echo x)"
usage="${usage%x}"
case "$usage" in
    "Usage: $name [--list | --update DRIVE... | --all | --check [DRIVE]] [OPTION]..."$'\n'*"Exit status:"*$'\n') ;;
    *) echo "FAIL help: '$usage'"; failures=$((failures + 1)) ;;
esac
# --version: the program and the package's version first, then what the build is
# (data/BuildIdentity.h): each firmware's digest between the revision and the region's.
text="$("$program" --version 2>/dev/null)"
keys="$(echo "$text" | sed 1d | sed -E 's/: .*//; s/^firmware (file|image) sha256$/firmware sha256/' | uniq | tr '\n' '|')"
if [ "$(echo "$text" | head -n 1)" = "$name $version" ] &&
    [ "$keys" = "package|model|firmware revision|firmware sha256|embedded image sha256|program version|" ] &&
    echo "$text" | grep -qx "package: ${name%-emulated}" &&
    echo "$text" | grep -Eq '^firmware (file|image) sha256: [0-9a-f]{64}  [^ ]' &&
    echo "$text" | grep -Eqx 'embedded image sha256: [0-9a-f]{64}'; then
    echo "ok   version"
else
    echo "FAIL version: '$text'"; failures=$((failures + 1))
fi
expect help 0 "$usage" "" --help
try=$'\n'"Try '$name --help' for more information."$'\n'
expect "short version" 0 "$("$program" --version)"$'\n' "" -V
expect "unknown option" 2 "" "$name: unknown option '--versoin'$try" --versoin
expect "option after --version" 2 "" "$name: --list, --update, --all, --check, --record, --history, --help and --version cannot be combined$try" --version --help
expect "a plain argument" 2 "" "$name: unexpected argument 'sg0'$try" sg0
expect "--update without a drive" 2 "" "$name: --update needs a drive$try" --update
expect "--yes without an update" 2 "" "$name: --yes needs --update or --all$try" --list --yes
exit $((failures > 0))
