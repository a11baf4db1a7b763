#!/usr/bin/env bash
# Makes the two accessibility screenshots of the strip again, under Wine, with the
# demo content published by the content server of the native build:
#   strip-reduced-motion.png  the real ticker.exe started with Windows' "Show
#       animations" off (set by motion_switch.exe): the strip, 703 by 25, showing one
#       headline alone; taken by the reduced-motion run, tools/wine-motion-e2e.sh,
#       right after the headline took its place.
#   strip-high-contrast.png   the ticker movie (ticker4.swf) in our player on the
#       real backend, with the stage state that a high-contrast theme gives the strip
#       handed to the player directly by contrast_strip.exe ("High Contrast Black":
#       black window, white text, cyan highlight with black text, yellow hot track),
#       because Wine cannot switch a high-contrast theme on; the movie's stage, 634
#       by 25 (its size beside the sponsor slot), taken when the sponsor's line (in
#       the hot-track colour) shows.
#   tools/a11y-shots.sh [shot-folder]     (default docs/screenshots)
# Builds what it needs first. It uses port 8421 and a virtual display: run it as
#   flock /tmp/ticker-wine.lock tools/a11y-shots.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
shots=$(realpath -m "${1:-$here/docs/screenshots}")
base=http://127.0.0.1:8421/resources/media/uk/downloads/vodazovovarar/
content_server=$here/build-native/server/content-server
tests=$here/build-win/src/os/win32/tests
prefix=$here/build-win/wine-motion-prefix
left=100 top=100

cd "$here"
cmake --build --preset windows --target ticker sponsor_movie motion_switch contrast_strip >/dev/null
cmake --build --preset native --target content-server >/dev/null
mkdir -p "$shots"

echo "reduced motion"
tools/wine-motion-e2e.sh build-win/ticker.exe "$tests/motion_switch.exe" "$base" "$prefix" "$content_server" "$shots"

echo "high contrast"
. "$here/tools/wine-session.sh"
port=$(loopback_port "$base") || exit 1
wine_session "$prefix"
"$content_server" --content "$here/content" --port "$port" >"$work/server.log" 2>&1 &
server=$!
within 10 grep -q '^serving .* at http' "$work/server.log" || fail "the content server did not start"
wine_display || fail "no virtual display"
wine "$tests/contrast_strip.exe" "${base}ticker4.swf" 180 >"$work/ticker.log" 2>&1 &
program=$!
# Pixels of a colour ("#RRGGBB") in the stage.
count() { import -window root -depth 8 -crop 634x25+$left+$top +repage txt:- 2>/dev/null | grep -c "$1" || true; }
# The label (black on cyan), the headlines (white on black) and the sponsor's line (yellow).
all_colours() { [ "$(count '#1AEBFF')" -gt 200 ] && [ "$(count '#FFFFFF')" -gt 20 ] && [ "$(count '#FFFF00')" -gt 20 ]; }
within 150 all_colours || fail "the stage never showed the label, a headline and the sponsor's line together"
import -window root -crop 634x25+$left+$top +repage "$shots/strip-high-contrast.png"
echo "   label $(count '#1AEBFF'), white $(count '#FFFFFF'), yellow $(count '#FFFF00') pixels"
wine taskkill /im contrast_strip.exe >/dev/null 2>&1 || true
within 15 bash -c "! kill -0 $program 2>/dev/null" || fail "contrast_strip.exe did not close when asked"
wait "$program" || fail "contrast_strip.exe ended with exit code $?"
program=""
echo "made $shots/strip-reduced-motion.png and $shots/strip-high-contrast.png"
