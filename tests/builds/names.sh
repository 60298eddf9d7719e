#!/usr/bin/env bash
# A second model built into the one tree names itself everywhere: its two programs (the
# files, --version, --help, error lines, the replay line of --record), its lock and its
# history (another model's are not its own), its manual pages (NAME, SYNOPSIS, FILES,
# EXAMPLES), its menu entry, its software-centre description and release, its changelog and
# its icon, with the vendor's fields where the build gives them.
#
#   names.sh DIR PACKAGE VERSION APP_ID OPTIONS-SH DEMO-BIN DEMO-PNG [FIELD=VALUE]...
#
# DIR is the build's folder of the build tree (bin/ and the files of cmake/ProductFiles.cmake),
# OPTIONS-SH tests/desktop/options.sh, DEMO-BIN the folder of the demo build's programs
# (flashtool, flashtool-emulated) and DEMO-PNG the demo's icon; FIELDs are the vendor's
# fields of build.txt the files must show: vendor, maintainer, homepage, icon (yes); and
# apart=yes checks that the history and the lock are the build's own (two updates, each with
# the run's 5 s settle in real time: the rule is one for every build, so one build does).
set -u
dir=$1 package=$2 version=$3 app_id=$4 options=$5 demo=$6 demo_png=$7
shift 7
declare -A field=()
for pair in "$@"; do
    field[${pair%%=*}]=${pair#*=}
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
native="$dir/bin/$package"
emulated="$dir/bin/$package-emulated"
unset FLASHTOOL_HISTORY_DIR

# The programs: --version, --help and the error lines (tests/desktop/options.sh), by their
# own names.
check "the programs are $package and $package-emulated" test -x "$native" -a -x "$emulated"
for program in "$native" "$emulated"; do
    name=$(basename "$program")
    "$options" "$program" "$name" "$version" > "$scratch/options.txt" 2>&1
    check "$name: --version, --help and error lines name $name" test $? -eq 0
    grep FAIL "$scratch/options.txt"
    check "$name --help: a recording is replayed with $package-emulated" \
        grep -q "^ *$package-emulated --drives FILE$" <("$program" --help)
done
(cd "$scratch" && "$emulated" --record=recorded.json > record.txt 2>&1)
check "--record: replayed with $package-emulated" \
    grep -q "with: $package-emulated --drives recorded.json$" "$scratch/record.txt"

# The history: each model's program keeps its own, in a folder named after it, and takes its
# own lock. Root's history is the machine's (/var/lib), never a test's: as root the
# programs run as nobody, whose history is in XDG_STATE_HOME.
as_user() { "$@"; }
if [ "$(id -u)" -eq 0 ]; then
    as_user() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
    command -v setpriv >/dev/null || field[apart]=skipped
fi
if [ "${field[apart]:-}" = skipped ]; then
    echo "skip history and lock: running as root, and setpriv is missing"
elif [ "${field[apart]:-}" = yes ]; then
    chmod 755 "$scratch"
    mkdir -m 700 "$scratch/run" "$scratch/state"
    [ "$(id -u)" -eq 0 ] && chown 65534:65534 "$scratch/run" "$scratch/state"
    export XDG_STATE_HOME="$scratch/state" XDG_RUNTIME_DIR="$scratch/run" HOME="$scratch"
    FLASHTOOL_HISTORY_DIR="$scratch/state/flashtool" as_user "$demo/flashtool-emulated" \
        --update 0 --yes > /dev/null 2>&1
    FLASHTOOL_HISTORY_DIR="$scratch/state/$package" as_user "$emulated" --update 0 --yes \
        > /dev/null 2>&1
    revision=${version%+*}
    as_user "$native" --history > "$scratch/history.txt" 2>&1
    check "$package --history: its own run, and only it" \
        test "$(grep -c " run .*-> $revision " "$scratch/history.txt")" -eq 1 -a \
        "$(grep -c " run " "$scratch/history.txt")" -eq 1
    as_user "$demo/flashtool" --history > "$scratch/demo-history.txt" 2>&1
    check "flashtool --history: its own run, and not $package's" \
        test "$(grep -c " run .*-> 1.0e " "$scratch/demo-history.txt")" -eq 1 -a \
        "$(grep -c " run " "$scratch/demo-history.txt")" -eq 1
    # The lock (which --check takes, --history not): another model's held lock keeps nobody
    # out; its own does. No drive is found here, so it is the refusal that tells them apart.
    as_user flock -n "$scratch/run/flashtool.lock" "$native" --check > "$scratch/beside.txt" 2>&1
    check "$package runs while flashtool's lock is held" \
        sh -c "grep -q 'no drive found' '$scratch/beside.txt' && ! grep -q 'Another copy' '$scratch/beside.txt'"
    as_user flock -n "$scratch/run/$package.lock" "$native" --check > "$scratch/locked.txt" 2>&1
    check "$package refuses while its own lock is held" test $? -eq 1
    check "$package: the refusal names it" grep -q "^$package: Another copy" "$scratch/locked.txt"
fi

# The manual pages: every "flashtool" is the package's name (or its id, or its title in
# capitals), but for the folder all the builds share (/tmp/flashtool-UID) and the environment
# variable.
roff=${package//-/\\-}
# starts FILE TEXT: a line of FILE begins with TEXT, taken as it is.
starts() { TEXT="$2" awk 'index($0, ENVIRON["TEXT"]) == 1 {found = 1} END {exit !found}' "$1"; }
for page in "$package" "$package-emulated"; do
    page_roff=${page//-/\\-}
    check "man page $page.1: NAME" starts "$dir/$page.1" "$page_roff \\- "
    check "man page $page.1: SYNOPSIS and EXAMPLES" starts "$dir/$page.1" ".B $page_roff \\-\\-"
    text=$(cat "$dir/$page.1")
    text=${text//"$roff"/}
    text=${text//"${roff^^}"/}
    text=${text//"$app_id"/}
    # The lock's fallback folders are every model's (the lock in them is named per program).
    text=${text//'/tmp/flashtool\-'/}
    text=${text//'~/.cache/flashtool'/}
    text=${text//FLASHTOOL_HISTORY_DIR/}
    others=$(grep -i flashtool <<< "$text")
    check "man page $page.1: no other program's name${others:+: $others}" test -z "$others"
done
check "man page: FILES names both programs" grep -qxF ".I /usr/bin/$roff\\-emulated" "$dir/$package.1"
check "man page: FILES names the lock" grep -qxF ".I \$XDG_RUNTIME_DIR/$roff.lock" "$dir/$package.1"

# The menu entry and the software centres' description.
desktop="$dir/$app_id.desktop"
metainfo="$dir/$app_id.metainfo.xml"
for line in "Name=$package" "Exec=$package" "Icon=$app_id"; do
    check "menu entry: $line" grep -qx "$line" "$desktop"
done
for line in "<id>$app_id</id>" "<name>$package</name>" "<binary>$package</binary>" \
    "<binary>$package-emulated</binary>" "<launchable type=\"desktop-id\">$app_id.desktop</launchable>"; do
    check "metainfo: $line" grep -qF "$line" "$metainfo"
done
check "metainfo: the release is $version" grep -q "<release version=\"$version\"" "$metainfo"
check "changelog: the entry is $package $version" \
    grep -qx "$package ($version) unstable; urgency=medium" <(head -n 1 "$dir/changelog")
if command -v desktop-file-validate >/dev/null && command -v appstreamcli >/dev/null; then
    check "menu entry: valid" test -z "$(desktop-file-validate "$desktop" 2>&1)"
    check "metainfo: valid" sh -c "appstreamcli validate --no-net --pedantic '$metainfo' > /dev/null"
fi

# The vendor's own fields, where the build gives them.
if [ -n "${field[vendor]:-}" ]; then
    check "metainfo: the vendor" grep -qF "<developer_name>${field[vendor]}</developer_name>" "$metainfo"
fi
if [ -n "${field[homepage]:-}" ]; then
    check "metainfo: the homepage" grep -qF "<url type=\"homepage\">${field[homepage]}</url>" "$metainfo"
fi
if [ -n "${field[maintainer]:-}" ]; then
    check "changelog: signed by the maintainer" grep -qF " -- ${field[maintainer]}  " "$dir/changelog"
fi
if [ -n "${field[icon]:-}" ] && [ -f "$demo_png" ]; then
    check "icon: the build's own picture" sh -c "test -s '$dir/$app_id.png' && ! cmp -s '$dir/$app_id.png' '$demo_png'"
fi
[ $failures -eq 0 ]
