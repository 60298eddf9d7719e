#!/bin/sh
# A Windows program as it must ship: a 64-bit GUI or console program (PE32+), needing no DLL beyond
# those every Windows has (so the statically linked C++ and threads runtime really are
# inside), with its manifest embedded: common controls 6, per-monitor DPI awareness, and
# the execution level it asks for.
#
#   check-executable.sh OBJDUMP PROGRAM.exe asInvoker|requireAdministrator [GUI|CUI]
set -u
objdump="$1"
program="$2"
level="$3"
subsystem="${4:-GUI}"
name="$(basename "$program")"
headers="$("$objdump" -p "$program")" || { echo "FAILED: $name cannot be read"; exit 1; }

fail() {
    echo "FAILED: $name: $*"
    exit 1
}

echo "$headers" | grep -q 'file format pei-x86-64' || fail "not a 64-bit Windows program"
echo "$headers" | grep -q "^Subsystem.*(Windows $subsystem)" || fail "not a Windows $subsystem program"
# The system's own libraries (SetupAPI: where a drive sits, for the history); anything else
# would have to be shipped beside the program.
system_dlls='^(ADVAPI32|COMCTL32|GDI32|KERNEL32|msvcrt|ole32|SETUPAPI|SHELL32|USER32)\.dll$'
for dll in $(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
    echo "$dll" | grep -Eq "$system_dlls" || fail "needs $dll"
done
for text in 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' \
        'PerMonitorV2' "requestedExecutionLevel level=\"$level\""; do
    grep -aqF "$text" "$program" || fail "the embedded manifest lacks $text"
done
echo "$name: PE32+ $subsystem program, system DLLs only, manifest with $level"
