#!/bin/sh
# Screenshots of the options dialog and the feedback form under Xvfb.
#   tests/shell/dialogs/screenshot.sh [build-dir] [out-dir]
# Writes options.png, suggest.png and suggest-status.png (the screen) into out-dir.
set -eu
build=${1:-build}
out=${2:-$build/screenshots}
preview=$build/tests/shell/dialogs/tessaro_dialog_preview
mkdir -p "$out"
for which in options suggest suggest-status; do
    xvfb-run -a -s '-screen 0 640x480x24' sh -c '
        "$1" "$2" &
        pid=$!
        sleep 2
        import -window root "$3"
        kill $pid
    ' sh "$preview" "$which" "$out/$which.png"
    echo "$out/$which.png"
done
