#!/bin/sh
# Runs a test program on a private X server: xvfb-run starts Xvfb on a free display and
# stops it afterwards. Skips (exit 77) when the tools are missing.
set -u
for tool in xvfb-run xauth xdotool xwininfo xprop; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIPPED: '$tool' is not installed; the X display test needs the Debian packages" \
             "xvfb, xauth, xdotool and x11-utils (scripts/test installs them)."
        exit 77
    fi
done
exec xvfb-run -a -s "-screen 0 1024x768x24" "$@"
