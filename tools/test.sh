#!/usr/bin/env bash
# Builds and runs every test: the native build against the desktop simulator (with
# AddressSanitizer and UndefinedBehaviorSanitizer), then the Windows build, whose
# tests of the real backend run under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh

cmake --preset native
cmake --build --preset native
ctest --preset native -j2

cmake --preset windows
cmake --build --preset windows
ctest --preset windows
