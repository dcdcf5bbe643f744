#!/bin/sh
# A screenshot of the main window under Xvfb with four clips queued and the
# first one converting.
#   tests/shell/screenshot.sh [build-dir] [out-dir]
# Writes window.png (the screen) into out-dir; the clips are made with ffmpeg.
set -eu
build=${1:-build}
out=${2:-$build/screenshots}
preview=$build/tests/shell/tessaro_window_preview
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

clip() {  # name seconds
    ffmpeg -loglevel error -y -f lavfi -i "testsrc=size=640x360:rate=25:duration=$2" \
        -f lavfi -i "sine=frequency=440:duration=$2" -shortest -f flv "$work/$1"
}
clip "演示 影片.flv" 300
clip "holiday-2026.flv" 3
clip "lecture_01.flv" 3
clip "trailer.flv" 3

xvfb-run -a -s '-screen 0 800x560x24' sh -c '
    preview=$1; shot=$2; work=$3
    "$preview" "$work/out" "$work/演示 影片.flv" "$work/holiday-2026.flv" \
        "$work/lecture_01.flv" "$work/trailer.flv" &
    pid=$!
    sleep 3
    import -window root "$shot"
    kill $pid
' sh "$preview" "$out/window.png" "$work"
echo "$out/window.png"
