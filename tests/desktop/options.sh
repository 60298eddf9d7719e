#!/usr/bin/env bash
# options.sh FLASHTOOL VERSION: the program's options, with no display to open a window on.
set -u
program="$1"
version="$2"
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb
failures=0

# expect NAME STATUS STDOUT STDERR ARGS...: runs the program and compares exactly.
expect() {
    local name="$1" status="$2" stdout="$3" stderr="$4"
    shift 4
    local out err rc
    out="$("$program" "$@" 2>/dev/null; echo x)"
    err="$("$program" "$@" 2>&1 >/dev/null; echo x)"
    "$program" "$@" >/dev/null 2>&1
    rc=$?
    if [ $rc -ne "$status" ] || [ "$out" != "${stdout}x" ] || [ "$err" != "${stderr}x" ]; then
        echo "FAIL $name: exit $rc (wanted $status)"
        printf -- '--- stdout:\n%s\n--- stderr:\n%s\n' "${out%x}" "${err%x}"
        failures=$((failures + 1))
    else
        echo "ok   $name"
    fi
}

usage="$("$program" --help; echo x)"
usage="${usage%x}"
case "$usage" in
    "Usage: flashtool [--list | --update DRIVE... | --all | --check [DRIVE]] [OPTION]..."$'\n'*"Exit status:"*$'\n') ;;
    *) echo "FAIL help: '$usage'"; failures=$((failures + 1)) ;;
esac
# --version: the package's version first, then what the build is (data/BuildIdentity.h).
first="$("$program" --version 2>/dev/null | head -n 1)"
if [ "$first" = "flashtool $version" ] && [ "$("$program" --version | wc -l)" -eq 6 ]; then
    echo "ok   version"
else
    echo "FAIL version: '$("$program" --version)'"; failures=$((failures + 1))
fi
expect help 0 "$usage" "" --help
try=$'\n'"Try 'flashtool --help' for more information."$'\n'
expect "short version" 0 "$("$program" --version)"$'\n' "" -V
expect "unknown option" 2 "" "flashtool: unknown option '--versoin'$try" --versoin
expect "option after --version" 2 "" "flashtool: --list, --update, --all, --check, --record, --history, --help and --version cannot be combined$try" --version --help
expect "a plain argument" 2 "" "flashtool: unexpected argument 'sg0'$try" sg0
expect "--update without a drive" 2 "" "flashtool: --update needs a drive$try" --update
expect "--yes without an update" 2 "" "flashtool: --yes needs --update or --all$try" --list --yes
exit $((failures > 0))
