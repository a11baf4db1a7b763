#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, in a private prefix, with a
# virtual X display when none is set. CTest uses it as the cross-compiling emulator.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build-win/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
mkdir -p "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # First use: make the prefix once, quietly.
  if [ -z "${DISPLAY:-}" ]; then xvfb-run -a wineboot -i >/dev/null 2>&1 || true; else wineboot -i >/dev/null 2>&1 || true; fi
  wineserver -w || true
fi
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" wine "$@"
fi
exec wine "$@"
