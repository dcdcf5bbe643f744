#!/usr/bin/env bash
# The window during a batch and at start:
#  - window_gaps: the longest wait of the event loop for its turn while a
#    batch converts (target <= 50 ms), with the 99th percentile; once with the
#    real encoders (RMVB, two stages, and MOV) and once with a chatty stand-in
#    for the encoders that floods 50 MB of progress text per stage;
#  - start: time from starting build/app/tessaro under Xvfb until its window
#    is mapped (target <= 0.5 s), median of REPS starts.
# Usage: bench/window.sh [build folder]   (default: build; REPS=5)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="$(cd "${1:-build}" && pwd)"
APP="$BUILD/app"
GAPS="$BUILD/bench/window/window_gaps"
CHATTY="$BUILD/bench/window/chatty_encoder"
REPS=${REPS:-5}
for f in "$GAPS" "$CHATTY" "$APP/tessaro" "$APP/data/conv"; do
  [[ -x $f ]] || { echo "missing $f: build first" >&2; exit 1; }
done
WORK="$(mktemp -d /tmp/tessaro-bench-window.XXXXXX)"
trap 'rm -rf "$WORK"' EXIT
status=0

for i in 1 2; do
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=640x368:rate=25:duration=10" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=10" \
    -ac 2 -c:v flv -b:v 1500k -c:a libmp3lame -b:a 128k -f flv "$WORK/clip$i.flv"
done
mkdir -p "$WORK/chatty/data"
for e in conv coder coder2; do cp "$CHATTY" "$WORK/chatty/data/$e"; done

export QT_QPA_PLATFORM=offscreen
"$GAPS" "$APP" 0 "$WORK/clip1.flv" "$WORK/clip2.flv" || status=1
"$GAPS" "$APP" 5 "$WORK/clip1.flv" || status=1
BENCH_CHATTY_BYTES=50000000 "$GAPS" "$WORK/chatty" 0 "$WORK/clip1.flv" || status=1

# Start-up: a fresh application folder each time, so no settings carry over.
if command -v xvfb-run >/dev/null && command -v xdotool >/dev/null; then
  cat >"$WORK/start.sh" <<'INNER'
#!/usr/bin/env bash
# Inside Xvfb: seconds from exec to the first mapped window of the program.
app=$1; reps=$2
for ((r = 0; r < reps; r++)); do
  rm -rf "$WORK/start"; cp -r "$app" "$WORK/start"
  t0=$(date +%s.%N)
  "$WORK/start/tessaro" >/dev/null 2>&1 &
  pid=$!
  until xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; do sleep 0.005; done
  t1=$(date +%s.%N)
  kill "$pid"; wait "$pid" 2>/dev/null || true
  echo "$t1 - $t0" | bc -l
done
INNER
  chmod +x "$WORK/start.sh"
  unset QT_QPA_PLATFORM
  med=$(WORK="$WORK" xvfb-run -a -s '-screen 0 1024x768x24' "$WORK/start.sh" "$APP" "$REPS" |
        sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
  printf 'window shown: median %.3f s of %d starts (target <= 0.5 s)\n' "$med" "$REPS"
  (($(echo "$med <= 0.5" | bc -l))) || status=1
else
  echo "window shown: skipped (xvfb-run and xdotool are needed)"
fi
exit $status
