#!/usr/bin/env bash
# validate.sh FOLDER APP-ID: the desktop entry and the metainfo a build made from the
# templates of packaging/ (FOLDER/APP-ID.desktop, FOLDER/APP-ID.metainfo.xml), as their
# validators see them. The metainfo is checked without the network: its addresses are
# placeholders.
set -u
dir="$1"
app_id="$2"
if ! command -v desktop-file-validate >/dev/null 2>&1 || ! command -v appstreamcli >/dev/null 2>&1; then
    echo "desktop_files_validate: skipped, desktop-file-validate or appstreamcli is missing (packages desktop-file-utils, appstream)"
    exit 77
fi
status=0
# It exits 0 after hints and some warnings; any remark at all fails here.
remarks="$(desktop-file-validate "$dir/$app_id.desktop" 2>&1)" || status=1
if [ -n "$remarks" ]; then
    echo "$remarks"
    status=1
fi
appstreamcli validate --no-net --pedantic "$dir/$app_id.metainfo.xml" || status=1
exit $status
