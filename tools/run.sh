#!/usr/bin/env bash
# Builds ticker.exe for Windows and runs it under Wine (on a virtual display when
# there is none).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake --preset windows
cmake --build --preset windows --target ticker
exec tools/wine-run.sh build-win/ticker.exe
