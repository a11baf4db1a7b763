#!/usr/bin/env bash
# Runs the news ticker on this machine: builds what is missing, publishes the demo
# content of content/ with the content server on the loopback interface (the
# build's content address), and starts ticker.exe under Wine. On the user's display
# when there is one; otherwise on a virtual display, with a screenshot of it written
# every few seconds to build-win/run/screen.png. The server stops when the ticker
# exits (use the strip's menu, E&xit, or Ctrl+C here).
# The server offers the installer it built as the download of the newest version:
# OFFER_VERSION=3.3 tools/run.sh makes the ticker offer it as an update.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
tools/deps.sh
cmake --preset native >/dev/null
cmake --build --preset native --target content-server
cmake --preset windows >/dev/null
cmake --build --preset windows --target ticker sponsor_movie installer
installer=$(ls -t "$here"/build-win/NorvaleTicker-*.exe | head -n 1)

run=$here/build-win/run
mkdir -p "$run"
export WINEPREFIX=${WINEPREFIX:-$here/build-win/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
server="" xvfb="" shots=""
finish() {
  set +e
  [ -n "$shots" ] && kill "$shots" 2>/dev/null
  [ -n "$server" ] && kill "$server" 2>/dev/null
  [ -n "$xvfb" ] && { wineserver -k 2>/dev/null; kill "$xvfb" 2>/dev/null; }
  wait 2>/dev/null
}
trap finish EXIT

# The content server on the build's own content address.
base=$(sed -n 's/^TICKER_CONTENT_BASE_URL:[A-Z]*=//p' build-win/CMakeCache.txt)
if [[ ! $base =~ ^http://127\.0\.0\.1:([0-9]+)/resources/media/uk/downloads/vodazovovarar/$ ]]; then
  echo "The build's content address $base is not on this machine; run ticker.exe against it directly." >&2
  exit 1
fi
port=${BASH_REMATCH[1]}
offer=()
[ -n "${OFFER_VERSION:-}" ] && offer=(--offer-version "$OFFER_VERSION")
build-native/server/content-server --content "$here/content" --port "$port" --download "$installer" "${offer[@]}" \
  >"$run/server.log" 2>&1 &
server=$!
for _ in $(seq 50); do
  grep -q '^serving .* at http' "$run/server.log" 2>/dev/null && break
  kill -0 "$server" 2>/dev/null || { cat "$run/server.log" >&2; exit 1; }
  sleep 0.1
done
echo "content server: $base (log: $run/server.log)"

if [ -z "${DISPLAY:-}" ]; then
  Xvfb -displayfd 3 -screen 0 1280x1024x24 3>"$run/display" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 50); do [ -s "$run/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(head -n 1 "$run/display")
  (while sleep 5; do import -window root "$run/screen.tmp.png" 2>/dev/null && mv "$run/screen.tmp.png" "$run/screen.png"; done) &
  shots=$!
  echo "no display: a virtual one, with a screenshot every 5 s in $run/screen.png"
fi
mkdir -p "$WINEPREFIX"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi
# The sponsor movie lies beside ticker.exe; the strip finds it in its current folder
# until an installer records the installation folder.
cd "$here/build-win"
wine ./ticker.exe
