#!/bin/sh
# Runs every benchmark against a build folder (default: build) and reports
# the figures. Exits non-zero when a benchmark misses its target.
# Usage: bench/run.sh [build-folder]
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
status=0

if [ ! -d "$build" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release || exit 1
fi
cmake --build "$build" -j2 || exit 1

# --- Captured runner: drain throughput (target >= 50 MB/s) ---------------
echo "== runner drain: child writing 100 MB through DOSOutputs"
"$build/bench/runner_drain" 100000000 || status=1

# --- The window during a batch and at start ---------------------------------
echo "== window: event-loop gaps during a batch (<= 50 ms), shown at start (<= 0.5 s)"
"$root/bench/window.sh" "$build" || status=1

# --- Two-stage formats against one pass; the batch against a shell ---------
# Give OLD_APP (a copy of an older build/app) to measure it side by side.
echo "== two-stage formats: time (<= 1.15) and PSNR (>= -0.3 dB) against one pass"
"$root/bench/intermediate.sh" "$build" ${OLD_APP:+"$OLD_APP"} || status=1
echo "== tessaro-cli against the same commands from a shell (<= 1.05)"
"$root/bench/batch.sh" "$build" || status=1

# --- Files converted at once against one at a time -------------------------
echo "== -j 2 and 4 against -j 1: wall time (<= 0.55 at -j 2 on 2 cores), same outputs"
"$root/bench/parallel.sh" --jobs "2 4" "$build" || status=1

# --- One long file on every core ---------------------------------------------
echo "== formats 0 to 8, one file: threads against --threads 1 (<= 0.60, MOV <= 1), PSNR, frames, sound"
"$root/bench/one-file.sh" "$build" || status=1

# --- The formats of today's players at their defaults ------------------------
echo "== formats 9 to 15: H.264 and VP9 >= 2x real time, H.265 >= 1x, >= 38 dB; H.264 beside x264's default"
"$root/bench/formats.sh" "$build" || status=1

# --- The feedback receiver under load and under attack ----------------------
echo "== tessaro-feedbackd: stored messages/s from 8 clients (>= 1000), memory after attacks (<= +10 MB)"
"$root/bench/feedbackd.sh" "$build" || status=1

exit $status
