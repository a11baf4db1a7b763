#!/usr/bin/env bash
# The strip's context menu, docking and preferences panel under Wine, with a real
# ticker.exe on a virtual display and the test movies of tests/wine/panel:
#   1. a right press on the grab handle opens the menu at the pointer, and its
#      Docking submenu shows "Undocked" chosen;
#   2. "Top" docks the strip: its window lies at y = 0 across the screen;
#   3. a double click on the strip's notification-area icon opens the menu there,
#      with "Always on top" greyed while docked;
#   4. "Set News Preferences..." slides the panel open below the docked strip and
#      the preferences movie shows in it; dragged by its handle to within 19 pixels
#      of its place, it snaps back.
#   tools/wine-panel-e2e.sh build-win/ticker.exe CONTENT_BASE_URL WINEPREFIX [shot-folder]
# With a shot folder, the menu and the panel are kept there as context-menu.png and
# preferences-panel.png.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath "$1")
base=$2
prefix=$(realpath -m "$3")
shots=${4:-}

. "$here/tools/wine-session.sh"
command -v xdotool >/dev/null || { echo "FAIL: xdotool is missing (tools/deps.sh installs it)" >&2; exit 1; }
wine_run_start "$base" "$prefix" "$here/tests/wine/panel"

strip_at() { [ "$(geometry '"Norvale Desktop Ticker"')" = "$1" ]; }
panel_at() { [ "$(geometry '(has no name)')" = "$1" ]; }
is_colour() { [ "$(pixel "$1" "$2")" = "$3" ]; }

wine "$exe" >"$work/ticker.log" 2>&1 &
program=$!

echo "1. the menu at the pointer"
within 40 strip_at 703x25+100+100 || fail "no strip at 100, 100 (it is at '$(geometry '"Norvale Desktop Ticker"')')"
within 30 is_colour 300 112 0,255,0 || fail "the ticker movie did not show"
dark 805 150 || fail "something covers the desktop beside the strip before the menu opens"
xdotool mousemove 798 112 click 3
within 5 light 805 150 || fail "no menu right of and below the pointer"
dark 790 150 || fail "the menu does not start at the pointer"
xdotool key d
within 5 light 1070 222 || fail "the Docking submenu did not open"
[ -n "$shots" ] && import -window root -crop 1280x320+0+0 +repage "$shots/context-menu.png"

echo "2. Top docks the strip"
xdotool key Down Return
within 10 strip_at 1280x25+0+0 || fail "the strip did not dock at the top (it is at '$(geometry '"Norvale Desktop Ticker"')')"
echo "   strip window: $(geometry '"Norvale Desktop Ticker"')"

echo "3. the notification-area icon"
tray=$(xwininfo -root -tree | sed -n 's/^ *0x[0-9a-f]* "Wine System Tray": .* \([0-9]*\)x\([0-9]*\)+\([0-9]*\)+\([0-9]*\) .*/\3 \4/p' | head -n 1)
[ -n "$tray" ] || fail "Wine shows no system tray"
read -r tx ty <<<"$tray"
icon_x=$((tx + 10)) icon_y=$((ty + 10))
xdotool mousemove "$icon_x" "$icon_y" click 1
sleep 1
dark $((icon_x + 90)) $((icon_y + 120)) || fail "a single click opened something"
xdotool click --repeat 2 --delay 80 1
within 5 light $((icon_x + 90)) $((icon_y + 120)) || fail "a double click on the icon did not open the menu"

echo "4. the preferences panel"
xdotool key p
within 10 panel_at 690x352+0+25 || fail "the panel did not open below the strip (it is at '$(geometry '(has no name)')')"
within 15 is_colour 300 200 0,255,255 || fail "the preferences movie does not show in the panel"
grep -q 'GET /resources/media/uk/downloads/vodazovovarar/prefs4.swf' "$work/server.log" || fail "prefs4.swf was never asked for"
[ -n "$shots" ] && import -window root -crop 1280x420+0+0 +repage "$shots/preferences-panel.png"
# Its grab handle (x 681 to 689 of the panel) drags it; dropped 10 pixels off its
# place it snaps back.
xdotool mousemove 685 300 mousedown 1 mousemove 600 500 sleep 0.2 mousemove 400 600 sleep 0.2 mouseup 1
within 5 panel_at 690x352+-285+325 || fail "the panel did not follow a drag of its handle (it is at '$(geometry '(has no name)')')"
xdotool mousemove 400 600 mousedown 1 mousemove 600 400 sleep 0.2 mousemove 695 310 sleep 0.2 mouseup 1
within 5 panel_at 690x352+0+25 || fail "the panel did not snap back into its place (it is at '$(geometry '(has no name)')')"
echo "   the panel opened at 0, 25 and snapped back after a drag"

close_ticker
echo "PASS"
