#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: the Linux
# tests (unit, window offscreen, end-to-end, the parameter matrix), then the
# Windows build's tests under Wine: the core and the encoders, then the window
# and its installer (the first run builds Qt for Windows, about half an hour).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
status=0
(cd build && ctest --output-on-failure -j2 --timeout 900) || status=$?
scripts/windows-tests.sh || status=$?
scripts/windows-window-tests.sh || status=$?
exit $status
