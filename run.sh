#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tessaro.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
if [ -x build/app/tessaro ]; then
  exec build/app/tessaro "$@"
fi
exec build/app/tessaro-cli --help
