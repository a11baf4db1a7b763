#!/usr/bin/env bash
# The strip with a slow channel feed under Wine: ticker.exe with its own movie player
# against a content server on the loopback interface that trickles the channel feed
# (headers and then body, a byte at a time, for 30 s). While the fetch is in flight
# the ticker movie goes on moving (two pictures of the strip 1 s apart differ) and the
# menu opens from the notification icon; the fetch is given up at its bound of 15 s,
# which shows as the movie's second channel request reaching the server then (the
# strip fetches one channel at a time) and its answer turning the stage lime.
#   tools/wine-slow-feed-e2e.sh build-win/ticker.exe CONTENT_BASE_URL WINEPREFIX [shot.png]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath "$1")
base=$2
prefix=$(realpath -m "$3")
keep=${4:-}

. "$here/tools/wine-session.sh"
command -v xdotool >/dev/null || { echo "FAIL: xdotool is missing (tools/deps.sh installs it)" >&2; exit 1; }
wine_run_start "$base" "$prefix" "$here/tests/wine/slow-feed"

# The strip's ticker area (the movie's stage) as raw pixels.
strip_shot() { import -window root -depth 8 -crop 600x25+100+100 +repage "rgb:$work/$1.rgb"; }
# The seconds since the server started at which it logged a line matching $1.
asked_at() { sed -n "s|^at \([0-9.]*\) $1\$|\1|p" "$work/server.log" | head -n 1; }

wine "$exe" >"$work/ticker.log" 2>&1 &
program=$!

strip_at() { [ "$(geometry '"Norvale Desktop Ticker"')" = 703x25+100+100 ]; }
lime() { [ "$(pixel 650 112)" = 0,255,0 ]; }
within 40 strip_at || fail "no strip at 100, 100 (it is at '$(geometry '"Norvale Desktop Ticker"')')"
within 30 grep -q "asked /resources/media/uk/downloads/vodazovovarar/trickle.xml" "$work/server.log" ||
  fail "the trickled channel feed was never asked for"
asked=$(asked_at "asked /resources/media/uk/downloads/vodazovovarar/trickle.xml")
echo "1. the fetch is in flight (asked at ${asked} s); the strip goes on"
sleep 2
strip_shot one
sleep 1
strip_shot two
cmp -s "$work/one.rgb" "$work/two.rgb" && fail "two pictures of the strip 1 s apart are the same: it froze"
echo "   two pictures of the strip 1 s apart differ"

echo "2. the menu from the notification icon, while the fetch is in flight"
tray=$(xwininfo -root -tree | sed -n 's/^ *0x[0-9a-f]* "Wine System Tray": .* \([0-9]*\)x\([0-9]*\)+\([0-9]*\)+\([0-9]*\) .*/\3 \4/p' | head -n 1)
[ -n "$tray" ] || fail "Wine shows no system tray"
read -r tx ty <<<"$tray"
icon_x=$((tx + 10)) icon_y=$((ty + 10))
dark $((icon_x + 90)) $((icon_y + 120)) || fail "something covers the desktop below the icon before the menu opens"
xdotool mousemove "$icon_x" "$icon_y" click --repeat 2 --delay 80 1
within 5 light $((icon_x + 90)) $((icon_y + 120)) || fail "a double click on the icon did not open the menu"
grep -q "asked /resources/media/uk/downloads/vodazovovarar/channel.xml" "$work/server.log" &&
  fail "the second channel feed was asked for while the first was still in flight"
echo "   the menu opened"
xdotool key Escape

echo "3. the fetch is given up at its bound"
within 25 grep -q "asked /resources/media/uk/downloads/vodazovovarar/channel.xml" "$work/server.log" ||
  fail "the second channel feed was never asked for"
second=$(asked_at "asked /resources/media/uk/downloads/vodazovovarar/channel.xml")
gap=$(python3 -c "print(f'{$second - $asked:.2f}')")
echo "   the second feed was asked for ${gap} s after the first"
python3 -c "import sys; sys.exit(0 if 14.0 <= $second - $asked <= 16.0 else 1)" ||
  fail "the first fetch was not given up at 15 s (±1 s): the second came ${gap} s after it"
within 10 lime || fail "the second channel's answer did not reach the movie"
[ -n "$keep" ] && import -window root -crop 1280x200+0+0 +repage "$keep"
echo "PASS"
