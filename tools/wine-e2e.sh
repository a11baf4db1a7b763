#!/usr/bin/env bash
# The Windows build end to end under Wine, on a virtual display and in a Wine prefix
# of its own, against a content server on the loopback interface that serves the
# test movies of tests/wine/content:
#   1. ticker.exe with its own movie player (the default) loads faketickerstart.swf
#      and ticker4.swf; the movie's "ticker" command shows its text in the status
#      line, its "complete success" brings the strip to its final layout, and the
#      strip shows what the movie draws, scrolling;
#   2. with Player = "flash" in the settings, the "Flash Detection" box appears.
#   tools/wine-e2e.sh build-win/ticker.exe CONTENT_BASE_URL WINEPREFIX [screenshot.png]
# The prefix is made on first use and kept; each run starts without settings.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath "$1")
base=$2
prefix=$(realpath -m "$3") # Wine wants it absolute
keep=${4:-}
content=$here/tests/wine/content
check=$here/tests/wine/check_strip.py

. "$here/tools/wine-session.sh"
wine_run_start "$base" "$prefix" "$content"
settings='HKCU\Software\Norvale\Vodazovovarar'

shot() { import -window root -depth 8 "ppm:$work/shot.ppm"; }
seen() { shot && python3 "$check" "$1" "$work/shot.ppm" >"$work/check.log" 2>&1; }
start_ticker() {
  wine "$exe" >"$work/ticker.log" 2>&1 &
  program=$!
}

echo "1. our movie player"
start_ticker
within 40 seen status || fail "the movie's ticker command did not reach the status line ($(cat "$work/check.log"))"
echo "   status line: $(cat "$work/check.log")"
within 30 seen movie || fail "the strip does not show the movie's drawing ($(cat "$work/check.log"))"
first=$(sed -n 's/^headline-left //p' "$work/check.log")
echo "   strip: $(tail -n 1 "$work/check.log")"
[ -n "$keep" ] && import -window root "$keep"
sleep 0.5
seen movie || fail "the movie's drawing went away ($(cat "$work/check.log"))"
second=$(sed -n 's/^headline-left //p' "$work/check.log")
[ "$first" != "$second" ] || fail "the headline does not scroll (left end stays at x $first)"
echo "   the headline scrolls: x $first, then $second"
grep -q 'GET /resources/media/uk/downloads/vodazovovarar/faketickerstart.swf' "$work/server.log" ||
  fail "faketickerstart.swf was never asked for"
grep -q 'GET /resources/media/uk/downloads/vodazovovarar/ticker4.swf' "$work/server.log" ||
  fail "ticker4.swf was never asked for"
# Our own player needs none of the hosted control's libraries: they stay unloaded.
loaded=$( (grep -ioE '[^/]*\b(atl|oleaut32)\.dll$' "/proc/$program/maps" || true) | sort -u | tr "\n" " ")
[ -z "$loaded" ] || fail "the hosted control's libraries were loaded: $loaded"
echo "   the hosted control's libraries are not loaded"
close_ticker

echo "2. the hosted Flash control chosen in the settings"
wine reg add "$settings" /v Player /t REG_SZ /d flash /f >/dev/null 2>&1 || fail "cannot write the settings"
requests=$(grep -c 'GET ' "$work/server.log")
start_ticker
flash_box() {
  local id
  id=$(xwininfo -root -tree | sed -n 's/^ *\(0x[0-9a-f]*\) "Flash Detection": .*/\1/p' | head -n 1)
  [ -n "$id" ] && xwininfo -id "$id" | grep -q 'Map State: IsViewable'
}
within 40 flash_box || fail "no Flash Detection box with Player = flash"
echo "   the Flash Detection box is shown"
[ "$(grep -c 'GET ' "$work/server.log")" -eq "$requests" ] || fail "a movie was loaded with Player = flash"
wineserver -k 2>/dev/null || true
wait "$program" 2>/dev/null || true
program=""
echo "PASS"
