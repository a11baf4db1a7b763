#!/usr/bin/env bash
# Reduced motion under Wine: the real ticker.exe with the demo content (the content
# server of the native build publishes content/), in a Wine prefix of its own, with
# Windows' "Show animations" switched by motion_switch.exe, which stores the setting
# and sends WM_SETTINGCHANGE to every window as the settings app does:
#   1. with animations on, the headlines scroll (three screenshots half a second
#      apart differ from each other in the ticker area);
#   2. animations go off while it runs: the strip takes WM_SETTINGCHANGE and goes on
#      showing its loop;
#   3. started with animations off, the strip stands still (two screenshots 3 s
#      apart, taken right after an item took the reading place, are the same) and
#      yet shows another item within 6 s;
#   4. started with animations on again, the headlines scroll again.
# Wine sends WM_SETTINGCHANGE, but a process keeps the system parameters it read
# first, so the running ticker would read the old value: the switch is seen through
# a new start, which reads the stored setting through the same call.
#   tools/wine-motion-e2e.sh build-win/ticker.exe motion_switch.exe CONTENT_BASE_URL WINEPREFIX CONTENT_SERVER [shot-folder]
# With a shot folder, the strip showing one item with animations off is kept there
# as strip-reduced-motion.png.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath "$1")
switch=$(realpath "$2")
base=$3
prefix=$(realpath -m "$4") # Wine wants it absolute
content_server=$5
shots=${6:-}
check=$here/tests/wine/check_road.py
left=100 top=100

. "$here/tools/wine-session.sh"
port=$(loopback_port "$base") || exit 1
wine_session "$prefix"
[ -x "$content_server" ] || fail "no content server at $content_server (build the native preset first)"
[ -z "$shots" ] || mkdir -p "$shots"
"$content_server" --content "$here/content" --port "$port" >"$work/server.log" 2>&1 &
server=$!
within 10 grep -q '^serving .* at http' "$work/server.log" || fail "the content server did not start"
wine_display || fail "no virtual display"
wine reg delete 'HKCU\Software\Norvale' /f >/dev/null 2>&1 || true

# Sets the animations and checks what the system reads back.
animations() {
  local said
  said=$(wine "$switch" "$1" 2>&1 | tr -d '\r') || fail "motion_switch $1 failed: $said"
  [ "$said" = "animations $1" ] || fail "motion_switch $1 read back '$said'"
}
shot() { import -window root -depth 8 "ppm:$1"; }
loop_up() { shot "$work/a.ppm" && python3 "$check" loop $left $top "$work/a.ppm" >"$work/check.log" 2>&1; }
# Three shots half a second apart, each differing from the one before: a change of
# the item shown alone (every 5 s) cannot pass for scrolling.
moving() {
  shot "$work/m1.ppm" && sleep 0.5 && shot "$work/m2.ppm" && sleep 0.5 && shot "$work/m3.ppm" &&
    python3 "$check" scrolls $left $top "$work/m1.ppm" "$work/m2.ppm" >"$work/check.log" 2>&1 &&
    python3 "$check" scrolls $left $top "$work/m2.ppm" "$work/m3.ppm" >>"$work/check.log" 2>&1
}
# The ticker area alone (right of the label, left of the sponsor slot), taken and
# compared fast enough to catch the moment an item takes the reading place.
area() { import -window root -depth 8 -crop 544x25+$((left + 90))+$top +repage "ppm:$1"; }
standing() { area "$work/s1.ppm" && sleep 1 && area "$work/s2.ppm" && cmp -s "$work/s1.ppm" "$work/s2.ppm"; }
changed_from() { area "$work/n.ppm" && ! cmp -s "$1" "$work/n.ppm"; }

# An earlier run that failed half way may have left them off.
animations on

start_ticker() {
  (cd "$(dirname "$exe")" && exec wine "./$(basename "$exe")") >"$work/ticker.log" 2>&1 &
  program=$!
  within 60 loop_up || fail "the ticker's loop did not come up ($(cat "$work/check.log"))"
  # Out of the way: the pointer over the strip stops it.
  xdotool mousemove 600 700
}

echo "1. with animations on, the headlines scroll"
start_ticker
within 10 moving || fail "the headlines do not scroll ($(cat "$work/check.log"))"
echo "   $(tr '\n' ';' <"$work/check.log")"

echo "2. animations off while it runs"
animations off
sleep 2
kill -0 "$program" 2>/dev/null || fail "ticker.exe ended on WM_SETTINGCHANGE"
loop_up || fail "the strip lost its loop on WM_SETTINGCHANGE ($(cat "$work/check.log"))"
echo "   the strip goes on: $(cat "$work/check.log")"
close_ticker

echo "3. started with animations off, one item at a time"
start_ticker
within 10 standing || fail "the strip does not stand still"
echo "   the strip stands still"
within 8 changed_from "$work/s2.ppm" || fail "no other item came within 8 s"
echo "   another item came"
# Taken right after the change: the next one is 5 s away.
mv "$work/n.ppm" "$work/a.ppm"
sleep 3
area "$work/b.ppm"
cmp -s "$work/a.ppm" "$work/b.ppm" || fail "the strip moved within 3 s of showing an item"
echo "   3 s later the same"
within 6 changed_from "$work/b.ppm" || fail "the item did not change within 6 s"
echo "   the next item came"
[ -n "$shots" ] && import -window root -crop 703x25+$left+$top +repage "$shots/strip-reduced-motion.png"
loop_up || fail "the item shown alone is not on the strip ($(cat "$work/check.log"))"
echo "   $(cat "$work/check.log")"
animations on
close_ticker

echo "4. started with animations on again, the headlines scroll"
start_ticker
within 10 moving || fail "the headlines did not scroll again ($(cat "$work/check.log"))"
echo "   $(tr '\n' ';' <"$work/check.log")"

close_ticker
echo "PASS"
