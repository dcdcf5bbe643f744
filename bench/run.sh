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

exit $status
