#!/usr/bin/env bash
# Builds the Qt-free core, the encoders, tessaro-cli and the unit tests with
# AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/ and runs
# the unit tests there, the end-to-end and matrix tests left out. A finding
# ends the program that made it and fails the run, in a test executable or in
# a child it started: AddressSanitizer's reports are collected in
# build-asan/findings/, UndefinedBehaviorSanitizer's stay in the tests' output.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARO_GUI=OFF \
      -DTESSARO_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$(nproc)" --target tessaro_tests
findings=$PWD/build-asan/findings
rm -rf "$findings" && mkdir -p "$findings"
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:log_path=$findings/asan
export UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1
status=0
(cd build-asan && ctest --output-on-failure -j"$(nproc)" -LE 'e2e|matrix' --timeout 900) || status=$?
if compgen -G "$findings/*" >/dev/null; then
  echo "AddressSanitizer findings:"
  cat "$findings"/*
  status=1
fi
if grep -n "runtime error:" build-asan/Testing/Temporary/LastTest.log; then
  echo "UndefinedBehaviorSanitizer findings above (build-asan/Testing/Temporary/LastTest.log)"
  status=1
fi
exit $status
