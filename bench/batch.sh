#!/usr/bin/env bash
# Wall time of tessaro-cli converting ten 10-second FLV clips to MP3 and to
# RMVB, against the same encoder commands run one after another from a shell.
# The ratio shows what the batch (runner polling, progress parsing, the
# driver) adds to the encoders' own time; the target is at most 1.05.
#
# Usage: bench/batch.sh [build folder]   (default: build)
set -euo pipefail
source "$(dirname "$0")/isolate.sh" "$@"
cd "$(dirname "$0")/.."
APP="$(cd "${1:-build}/app" && pwd)"
CLI="$APP/tessaro-cli"
for f in "$CLI" "$APP/data/conv" "$APP/data/coder"; do
  [ -x "$f" ] || { echo "missing $f: build first" >&2; exit 1; }
done

WORK="$(mktemp -d /tmp/tessaro-bench-batch.XXXXXX)"
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/in"
for i in $(seq 1 10); do
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc=duration=10:size=320x240:rate=25" \
    -f lavfi -i "sine=frequency=440:duration=10:sample_rate=44100" \
    -c:v flv -b:v 400k -c:a libmp3lame -b:a 64k -ar 44100 -shortest "$WORK/in/clip$i.flv"
done

now() { date +%s.%N; }
TMPDIR_T="/tmp/tessaro-$(id -u)"
mkdir -p "$TMPDIR_T"; chmod 700 "$TMPDIR_T"
TMP="$TMPDIR_T/tmp-$$.mp4"  # an intermediate by its name, as tessaro-cli's is

# The commands tessaro-cli builds with the defaults of each format.
shell_mp3() {
  for f in "$WORK"/in/*.flv; do
    "$APP/data/coder" -i "$f" -y -vn -ar 48000 -ab 320k -ac 2 "$1/$(basename "${f%%.*}").mp3" >/dev/null 2>&1
  done
}
shell_rmvb() {
  for f in "$WORK"/in/*.flv; do
    rm -f "$TMP"
    "$APP/data/conv" "$f" -oac mp3lame -lameopts preset=320 -ovc lavc -lavcopts vcodec=mpeg4:vbitrate=1200 \
      -of avi -o "$TMP" >/dev/null 2>&1
    "$APP/data/coder" -i "$TMP" -y -vcodec rv10 -b 1200k -f rm  -ab 128k -ac 2 \
      "$1/$(basename "${f%%.*}").rmvb" >/dev/null 2>&1
  done
}

measure() {  # name format shell-function
  local name=$1 format=$2 fn=$3
  mkdir -p "$WORK/cli-$name" "$WORK/sh-$name"
  local t0 t1 t2
  t0=$(now)
  "$CLI" -f "$format" -o "$WORK/cli-$name" "$WORK"/in/*.flv >/dev/null
  t1=$(now)
  "$fn" "$WORK/sh-$name"
  t2=$(now)
  awk -v n="$name" -v a="$t0" -v b="$t1" -v c="$t2" \
    'BEGIN { printf "%-5s tessaro-cli %7.2f s   shell %7.2f s   ratio %.3f\n", n, b - a, c - b, (b - a) / (c - b) }'
}

echo "ten 10-second FLV clips"
measure mp3 8 shell_mp3
measure rmvb 0 shell_rmvb
