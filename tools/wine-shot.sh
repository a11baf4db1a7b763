#!/usr/bin/env bash
# Runs a program of the Windows build under Wine on its own virtual display, takes a
# screenshot after a few seconds, then asks the program to close (WM_CLOSE, as
# taskkill without /f does) and reports how it ended.
#   tools/wine-shot.sh build-win/ticker.exe shot.png [seconds]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
exe=$1
shot=$2
wait_s=${3:-6}
export WINEPREFIX=${WINEPREFIX:-$here/build-win/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
display=:$(( 90 + RANDOM % 9 ))
Xvfb "$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
sleep 1
wine "$exe" &
program=$!
sleep "$wait_s"
import -window root "$shot"
echo "screenshot: $shot"
name=$(basename "$exe")
wine taskkill /im "$name" >/dev/null 2>&1 || true
for _ in $(seq 1 20); do
  kill -0 $program 2>/dev/null || break
  sleep 0.5
done
if kill -0 $program 2>/dev/null; then
  echo "$name did not close; killing it"
  kill $program
  exit 1
fi
wait $program && code=0 || code=$?
echo "$name ended with exit code $code"
wineserver -k 2>/dev/null || true
