#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with Clang into build-fuzz/ and
# runs each for FUZZ_SECONDS (default 60) from a copy of its seed corpus in
# tests/fuzz/corpus/<target>/, so the committed seeds stay as they are. A
# finding (a broken check, a sanitizer report, a crash, a hang) fails the run
# and leaves its input in build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
# libFuzzer reads a time it cannot parse as 0, which means no limit at all.
[[ $seconds =~ ^[1-9][0-9]*$ ]] || { echo "FUZZ_SECONDS must be a whole number of seconds" >&2; exit 2; }
targets=(progress_fuzz setup_ini_fuzz options_ini_fuzz command_line_fuzz)
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DTESSARO_GUI=OFF -DTESSARO_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"
rm -rf build-fuzz/corpus build-fuzz/findings build-fuzz/logs
mkdir -p build-fuzz/findings build-fuzz/logs
status=0
for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$target
  log=build-fuzz/logs/$target.log
  mkdir -p "$corpus"
  cp tests/fuzz/corpus/"$target"/* "$corpus"/
  if build-fuzz/tests/fuzz/"$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
       -artifact_prefix=build-fuzz/findings/"$target"- "$corpus" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "$target: ${runs:-?} inputs in ${seconds} s, no finding"
  else
    status=1
    echo "$target: FINDING"
    tail -n 60 "$log"
  fi
done
exit $status
