#!/usr/bin/env bash
# Encoder benchmarks on a generated 10-second FLV (FLV1 320x240, MP3):
#  (b) each designed command run through DOSOutputs vs the same command run
#      directly from the shell (target <= 1.05);
#  (c) each encoder vs the plain ffmpeg command it runs (target <= 1.03).
# Usage: bench/encoders.sh [BUILD_DIR]   (default: build)
set -euo pipefail
BUILD=${1:-build}
APP=$(cd "$BUILD/app" && pwd)
DATA=$APP/data
RUNNER=$(find "$BUILD" -name encoder_run -type f -perm -u+x 2>/dev/null | head -1 || true)
REPS=${REPS:-3}
WORK=$(mktemp -d /tmp/tessaro-bench-XXXXXX)
trap 'rm -rf "$WORK"' EXIT
IN=$WORK/clip.flv
TMP=$WORK/tmp.mp4
ffmpeg -hide_banner -nostdin -loglevel error -y \
  -f lavfi -i testsrc=size=320x240:rate=25:duration=10 \
  -f lavfi -i sine=frequency=440:sample_rate=44100:duration=10 \
  -ac 2 -c:v flv -c:a libmp3lame -b:a 128k -shortest "$IN"

now() { date +%s.%N; }
# Best of REPS wall times of a command (argv).
best() {
  local b=999999 t0 t1 d
  for ((i = 0; i < REPS; i++)); do
    t0=$(now); "$@" >/dev/null 2>&1; t1=$(now)
    d=$(echo "$t1 - $t0" | bc -l)
    if (($(echo "$d < $b" | bc -l))); then b=$d; fi
  done
  echo "$b"
}
bestRunner() {
  local b=999999 d
  for ((i = 0; i < REPS; i++)); do
    d=$("$RUNNER" "$1" "$2" 2>/dev/null | tail -1)
    if (($(echo "$d < $b" | bc -l))); then b=$d; fi
  done
  echo "$b"
}
ratio() { printf '%.3f' "$(echo "$1 / $2" | bc -l)"; }

Q='"'
FF=(ffmpeg -hide_banner -nostdin -nostats -loglevel level+info -progress pipe:1 -stats_period 0.1 -y)
# name | image | designed command text | encoder argv (as split) | plain ffmpeg argv
run_case() {
  local name=$1 image=$2 text=$3; shift 3
  local -a enc plain
  local sep=0
  for a in "$@"; do
    if [[ $a == "--" ]]; then sep=1; continue; fi
    if ((sep)); then plain+=("$a"); else enc+=("$a"); fi
  done
  local tEnc tPlain tRun
  tEnc=$(best "${enc[@]}")
  tPlain=$(best "${plain[@]}")
  printf '%-10s encoder %.3fs  ffmpeg %.3fs  (c) ratio %s' "$name" "$tEnc" "$tPlain" "$(ratio "$tEnc" "$tPlain")"
  if [[ -n $RUNNER ]]; then
    tRun=$(bestRunner "$image" "$text")
    printf '   DOSOutputs %.3fs  (b) ratio %s' "$tRun" "$(ratio "$tRun" "$tEnc")"
  fi
  echo
}

[[ -z $RUNNER ]] && echo "(b) skipped: encoder_run is not built (bench/encoders/CMakeLists.txt)"
echo "best of $REPS runs each"
run_case conv-tmp conv \
  "$DATA/conv $Q$IN$Q -oac mp3lame -lameopts preset=320 -ovc lavc -lavcopts vcodec=mpeg4:vbitrate=1200 -of avi -o $TMP" \
  "$DATA/conv" "$IN" -oac mp3lame -lameopts preset=320 -ovc lavc -lavcopts vcodec=mpeg4:vbitrate=1200 -of avi -o "$TMP" -- \
  "${FF[@]}" -i "file:$IN" -c:v mpeg4 -b:v 1200k -c:a libmp3lame -b:a 320k -f mp4 "file:$TMP"
run_case conv-mpg conv \
  "$DATA/conv $Q$IN$Q -oac lavc -lavcopts acodec=mp2:abitrate=64 -ovc lavc -lavcopts vcodec=mpeg1video:vbitrate=600:vpass=1 -ofps 24 -of lavf -lavfopts format=yuv4mpeg -o $Q$WORK/o.mpg$Q" \
  "$DATA/conv" "$IN" -oac lavc -lavcopts acodec=mp2:abitrate=64 -ovc lavc -lavcopts vcodec=mpeg1video:vbitrate=600:vpass=1 -ofps 24 -of lavf -lavfopts format=yuv4mpeg -o "$WORK/o.mpg" -- \
  "${FF[@]}" -i "file:$IN" -c:v mpeg1video -strict unofficial -b:v 600k -r 24 -c:a mp2 -b:a 64k -f mpeg "file:$WORK/o.mpg"
run_case coder-rm coder \
  "$DATA/coder -i $TMP -y -vcodec rv10 -b 1200k -f rm  -ab 128k -ac 2 $Q$WORK/o.rmvb$Q" \
  "$DATA/coder" -i "$TMP" -y -vcodec rv10 -b 1200k -f rm -ab 128k -ac 2 "$WORK/o.rmvb" -- \
  "${FF[@]}" -i "file:$TMP" -c:v rv10 -b:v 1200k -f rm -b:a 128k -ac 2 "file:$WORK/o.rmvb"
run_case coder-mp3 coder \
  "$DATA/coder -i $Q$IN$Q -y -vn -ar 48000 -ab 320k -ac 2 $Q$WORK/o.mp3$Q" \
  "$DATA/coder" -i "$IN" -y -vn -ar 48000 -ab 320k -ac 2 "$WORK/o.mp3" -- \
  "${FF[@]}" -i "file:$IN" -vn -ar 48000 -b:a 320k -ac 2 "file:$WORK/o.mp3"
run_case coder2-3gp coder2 \
  "$DATA/coder2 -i $TMP -y -s 320x240 -vcodec mpeg4 -acodec amr_nb -ac 1 -ar 8000 -ab 12.2k $Q$WORK/o.3gp$Q" \
  "$DATA/coder2" -i "$TMP" -y -s 320x240 -vcodec mpeg4 -acodec amr_nb -ac 1 -ar 8000 -ab 12.2k "$WORK/o.3gp" -- \
  "${FF[@]}" -i "file:$TMP" -c:v mpeg4 -c:a aac -profile:a aac_low -ac 1 -ar 8000 -b:a 12.2k -s 320x240 "file:$WORK/o.3gp"
