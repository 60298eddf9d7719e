#!/usr/bin/env bash
# The Windows command line under wine against the Linux one: the emulated console program
# (PACKAGE-emulated-cli.exe) and the Linux emulated program run the same actions over the
# same drives, and their standard output (lines, trace, JSON) and exit status must be the
# same, byte for byte once Windows' line ends are taken out (none should be there). Then a
# console Ctrl+C, as wine delivers it (a SIGINT to the wine process becomes CTRL_C_EVENT for
# the handlers SetConsoleCtrlHandler registered): before any drive is changed it ends the
# program with exit 130 and the Linux program's line; in the middle of the pages it is
# refused and the run ends updated.
#
#   wine-cli.sh WINE WINDOWS-EMULATED-CLI.exe LINUX-EMULATED SCENARIOS-DIR CASE [WINDOW.exe]
#   (CASE: same, interrupt; WINDOW.exe, the emulated window program, which `same` also
#   starts with an action: it must name the console program and end, with no notice)
#
# The drives are real time (an update waits the drive's 5 s settle), so each update takes
# seconds. Exits 77 (skipped) when wine or the Linux program is missing.
set -u
wine=$1 windows=$2 linux=$3 scenarios=$4 case_name=$5 window=${6:-}
if ! command -v "$wine" >/dev/null 2>&1; then
    echo "wine_cli_$case_name: skipped, wine ($wine) was not found"
    exit 77
fi
if [ ! -x "$linux" ]; then
    echo "wine_cli_$case_name: skipped, no Linux emulated program at $linux (build the normal preset)"
    exit 77
fi
export WINEDEBUG=-all
# The scratch folder is where both run: the programs by their full paths.
windows=$(realpath "$windows")
[ -z "$window" ] || window=$(realpath "$window")
linux=$(realpath "$linux")
scratch=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$scratch"' EXIT
cp "$scenarios"/*.json "$scratch/"
cd "$scratch" || exit 1
failures=0
check() {
    local name=$1
    shift
    if "$@"; then echo "PASS $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}

# same NAME ARGS...: both programs, run in the scratch folder with relative file names (so
# that no path differs) and standard input closed; outputs in NAME.linux / NAME.windows.
# With by_drive=1 each output is put in drive order first: the drives of --all run on
# threads of their own, and their lines may interleave differently from run to run (a
# stable sort on the "[N]" prefix keeps each drive's lines in their order). With stderr=1
# standard error is compared too.
same() {
    local name=$1
    shift
    "$linux" "$@" </dev/null >"$name.linux" 2>"$name.linux.err"
    local linux_status=$?
    "$wine" "$windows" "$@" </dev/null >"$name.windows" 2>"$name.windows.err"
    local windows_status=$?
    check "$name: exit status $linux_status on both (Windows: $windows_status)" \
        [ "$linux_status" -eq "$windows_status" ]
    check "$name: no CR in the Windows output" [ "$(grep -c $'\r' "$name.windows")" -eq 0 ]
    if [ "${by_drive:-0}" = 1 ]; then
        for side in linux windows; do
            sort -s -t ']' -k1,1 "$name.$side" >"$name.$side.sorted"
            mv "$name.$side.sorted" "$name.$side"
        done
    fi
    if [ "${stderr:-0}" = 1 ]; then
        check "$name: standard error byte for byte" cmp -s "$name.linux.err" "$name.windows.err"
    fi
    if cmp -s "$name.linux" "$name.windows"; then
        echo "PASS $name: standard output byte for byte ($(wc -l <"$name.linux") lines)"
    else
        echo "FAIL $name: standard output differs"
        diff "$name.linux" "$name.windows" | head -20
        failures=$((failures + 1))
    fi
}

case $case_name in
same)
    same list --list
    same list-json --list --json
    same check --check
    same update-json --update 0 --yes --json
    by_drive=1 same all --drives eight-drives.json --all --yes
    check "all: some drive was updated" grep -q 'updated from' all.windows
    check "update-json: the document says updated" grep -q '"updated"' update-json.windows
    stderr=1 same usage --no-such-option
    same refused --drives disc-in-tray.json --update 0 --yes --json
    # The history: a run recorded by each program in a folder of its own (named in full: the
    # Linux program takes no relative one), then read back;
    # the lines are the same but for the time.
    FLASHTOOL_HISTORY_DIR="$scratch/history-linux" "$linux" --update 0 --yes --quiet </dev/null >/dev/null 2>&1
    FLASHTOOL_HISTORY_DIR="$scratch/history-linux" "$linux" --history </dev/null >history.linux 2>&1
    FLASHTOOL_HISTORY_DIR="$scratch/history-windows" "$wine" "$windows" --update 0 --yes --quiet </dev/null >/dev/null 2>&1
    FLASHTOOL_HISTORY_DIR="$scratch/history-windows" "$wine" "$windows" --history </dev/null >history.windows 2>&1
    check "history: the run recorded and read back as on Linux" sh -c "
        grep -q '1.0d -> 1.0e  updated, verified' history.windows &&
        [ \"\$(cut -c22- history.linux)\" = \"\$(cut -c22- history.windows)\" ]"
    # The console program with no action (the window, on Linux) names the window's program.
    "$wine" "$windows" </dev/null >no-action.out 2>no-action.err
    status=$?
    check "no action: exit 2 and one line naming the window's program" sh -c \
        "[ $status -eq 2 ] && grep -q 'no action given; the window is flashtool-emulated.exe' no-action.err"
    if [ -n "$window" ]; then
        # Bounded: a window program that showed its notice instead would wait for ever.
        timeout 60 "$wine" "$window" --list </dev/null >window.out 2>window.err
        status=$?
        check "the window program given --list: exit 2, naming the console program" sh -c \
            "[ $status -eq 2 ] && grep -qx 'flashtool-emulated.exe is the window; the command line is flashtool-emulated-cli.exe (flashtool-emulated-cli --help).' window.err"
    fi
    ;;
interrupt)
    refused="The firmware is being written; it cannot be interrupted now."
    target='"identification": "ORIN    DVD RW QV-5500A ", "revision": "1.0d", "oemTag": "ORIN      QZ   "'
    # wait_for PATTERN FILE [COUNT]: until COUNT (1) lines of FILE match, for at most 60 s.
    wait_for() {
        local deadline=$(($(date +%s) + 60))
        local count
        until count=$(grep -c -- "$1" "$2" 2>/dev/null); [ "${count:-0}" -ge "${3:-1}" ]; do
            if [ "$(date +%s)" -gt "$deadline" ]; then
                echo "FAIL never saw '$1' in $2"
                exit 1
            fi
            sleep 0.05
        done
    }
    # start FAULT ARGS...: the Windows program in the background over one target whose
    # commands FAULT slows, every signal at its default (a shell starts a background job
    # with SIGINT ignored, and wine would never see it).
    start() {
        echo "{\"drives\": [{$target, \"faults\": [$1]}]}" >drives.json
        shift
        env --default-signal "$wine" "$windows" --drives drives.json --yes --trace=trace.txt \
            "$@" </dev/null >out.txt 2>err.txt &
        pid=$!
    }
    finish() {
        wait "$pid"
        status=$?
        pid=""
    }

    # Before: the second TEST UNIT READY takes 60 s; Ctrl+C finds the program there.
    start '{"opcode": "00", "occurrence": 2, "result": "delay", "delayMs": 60000}' --update 0 --json
    wait_for '^vdrive 0: 12 ' trace.txt 2
    kill -INT "$pid"
    finish
    check "before: exit 130" [ "$status" -eq 130 ]
    check "before: the Linux program's line" [ "$(cat err.txt)" = \
        "flashtool-emulated: stopped by SIGINT before any drive was changed" ]
    check "before: the document says interrupted" grep -q '"summary": "interrupted"' out.txt
    check "before: nothing that changes a drive was sent" [ "$(grep -c '^vdrive 0: F[AD] ' trace.txt)" -eq 0 ]

    # During: each page takes 20 ms; Ctrl+C twice in the middle of the pages.
    start '{"opcode": "FA", "occurrence": 0, "result": "delay", "delayMs": 20}' --update 0
    wait_for '^vdrive 0: FA ' trace.txt 10
    kill -INT "$pid"
    wait_for "$refused" err.txt
    kill -INT "$pid"
    wait_for "$refused" err.txt 2
    finish
    check "during: the run ends updated (exit 0)" [ "$status" -eq 0 ]
    check "during: each Ctrl+C refused with one line" [ "$(grep -c "^$refused\$" err.txt)" -eq 2 ]
    check "during: all 128 pages were sent" [ "$(grep -c '^vdrive 0: FA ' trace.txt)" -eq 128 ]
    check "during: the closing line says updated" grep -q 'updated from 1.0d to 1.0e' out.txt
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
[ "$failures" -eq 0 ]
