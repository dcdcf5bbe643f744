#!/usr/bin/env bash
# The formats of today's players at their defaults. tessaro-cli converts a
# detailed 60 s 1280x720 30 fps clip with stereo sound (a Mandelbrot zoom
# with a moving test card over it; a chord with noise) into each of formats
# 9 to 15, one file at a time, and prints per format
#   wall s      the conversion's wall time, and the times faster than the clip
#               plays;
#   size        the output's bytes;
#   PSNR        of the picture against the source's (scaled back to the
#               source's size where it changed).
# Side by side in the same run, x264 at its own default (preset medium,
# CRF 23) through ffmpeg on the same clip gives the figures H.264 is held to.
# Targets on a 2-core machine: H.264 and VP9 at least 2x faster than real
# time, H.265 at least real time, each at least 38 dB; H.264 no slower than
# x264's default and within 1.5 dB of its PSNR. Exits non-zero when a run
# fails, and when a 2-core machine misses a target.
#
# Usage: bench/formats.sh [--quick] [build folder]   (default: build)
#   --quick   a 10 s clip, to try the script (no targets)
set -euo pipefail
source "$(dirname "$0")/isolate.sh" "$@"
cd "$(dirname "$0")/.."
source bench/pan-clip.sh

usage() { sed -n 's/^# \{0,1\}//; /^Usage:/,/^set /p' "$0" | sed '$d' >&2; exit 2; }
SECONDS_LONG=60
BUILD=build
while (($#)); do
  case $1 in
    --quick) SECONDS_LONG=10 ;;
    -h | --help) usage ;;
    -*) echo "unknown option $1" >&2; usage ;;
    *) BUILD=$1 ;;
  esac
  shift
done
CLI=$BUILD/app/tessaro-cli
[[ -x $CLI ]] || { echo "no $CLI: build first" >&2; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# The clip, nearly lossless so that the PSNR measures the format alone.
pan_clip "$WORK" "$SECONDS_LONG" 48000 -c:v libx264 -preset veryfast -crf 4 -c:a flac \
  "$WORK/detail.mkv"

# PSNR of a file's picture against the source's, frame by frame (Matroska's
# millisecond times would pair some frames with their neighbours); "-"
# without a picture.
psnr() {
  if [[ -z $(ffprobe -v error -select_streams v -show_entries stream=index -of csv=p=0 "$1") ]]; then
    echo -; return
  fi
  ffmpeg -nostdin -i "$1" -i "$WORK/detail.mkv" -lavfi \
    "[0:v]setpts=N/30/TB[o];[1:v]setpts=N/30/TB[s];[o][s]scale2ref=flags=bicubic[a][b];[a][b]psnr" -f null - 2>&1 |
    sed -n 's/.*PSNR.* average:\([0-9.inf]*\).*/\1/p' | tail -1
}

status=0
printf '%-22s %8s %7s %11s %8s\n' format "wall s" "x real" size "PSNR dB"
row() {  # name wall file
  local x
  x=$(echo "scale=2; $SECONDS_LONG / $2" | bc)
  printf '%-22s %8.1f %7s %11s %8s\n' "$1" "$2" "$x" "$(stat -c %s "$3")" "$4"
}
timed() {  # runs the command; prints its wall time in seconds
  local start end
  start=$(date +%s.%N)
  "$@" >"$WORK/run.log" 2>&1 || { cat "$WORK/run.log" >&2; return 1; }
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

declare -A WALL PSNR
names=([9]="9 MP4 H.264+AAC" [10]="10 MP4 H.265+AAC" [11]="11 WebM VP9+Opus" [12]="12 M4A" \
  [13]="13 FLAC" [14]="14 Opus" [15]="15 WAV")
for f in 9 10 11 12 13 14 15; do
  out=$WORK/out$f
  wall=$(timed "$CLI" -j 1 -f "$f" -o "$out" "$WORK/detail.mkv") || { status=1; continue; }
  file=$(ls "$out"/*)
  WALL[$f]=$wall
  PSNR[$f]=$(psnr "$file")
  row "${names[$f]}" "$wall" "$file" "${PSNR[$f]}"
done
wall=$(timed ffmpeg -nostdin -y -i "$WORK/detail.mkv" -c:v libx264 -preset medium -crf 23 \
  -c:a aac "$WORK/x264.mp4") || status=1
x264Psnr=$(psnr "$WORK/x264.mp4")
row "x264 medium CRF 23" "$wall" "$WORK/x264.mp4" "$x264Psnr"

if ((SECONDS_LONG < 60)); then
  echo "(a quick run: no targets)"
elif [[ $(nproc) == 2 ]]; then
  check() {  # description, condition
    if (($(echo "$2" | bc))); then echo "ok    $1"; else echo "MISS  $1"; status=1; fi
  }
  check "H.264 at least 2x real time" "${WALL[9]:-999} * 2 <= 60"
  check "VP9 at least 2x real time" "${WALL[11]:-999} * 2 <= 60"
  check "H.265 at least real time" "${WALL[10]:-999} <= 60"
  for f in 9 10 11; do check "${names[$f]} at least 38 dB" "${PSNR[$f]:-0} >= 38"; done
  check "H.264 no slower than x264's default" "${WALL[9]:-999} <= $wall"
  check "H.264 within 1.5 dB of x264's default" "${PSNR[9]:-0} + 1.5 >= $x264Psnr"
else
  echo "(targets are for 2 cores; this machine has $(nproc))"
fi
exit $status
