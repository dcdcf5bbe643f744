#!/usr/bin/env bash
# The Windows ffmpeg.exe that Tessaro ships and tests with: the one of the npm
# package @ffmpeg-installer/win32-x64@4.1.0 (a static GPL build, FFmpeg
# 20181217-f22fcd4), fetched once into FOLDER (never committed). Prints its
# path.
#   scripts/windows-ffmpeg.sh FOLDER
set -euo pipefail
folder=$1
exe=$folder/package/ffmpeg.exe
if [ ! -f "$exe" ]; then
  mkdir -p "$folder"
  (cd "$folder" && npm pack --silent @ffmpeg-installer/win32-x64@4.1.0 >/dev/null &&
     tar xzf ffmpeg-installer-win32-x64-4.1.0.tgz package/ffmpeg.exe)
fi
echo "$exe"
