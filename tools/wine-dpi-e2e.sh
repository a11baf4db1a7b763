#!/usr/bin/env bash
# The strip at 96, 144 and 192 dpi under Wine, on a 2560 by 1440 virtual display
# and in a Wine prefix of its own whose user's LogPixels is set for each run, with
# the test movies of tests/wine/panel:
#   1. at each DPI the seam's answers, as dpi_probe prints them with the program's
#      manifest, are that DPI for the system, a window and its monitor (Wine gives
#      every monitor the system DPI and never sends WM_DPICHANGED);
#      the strip's window is 25, 38 and 50 pixels high (25 at 96 dpi
#      scaled with MulDiv), the movie's stage fills it, and the ink of the text the
#      movie draws grows with the DPI (the stage makes its font at the device's DPI);
#   2. at 192 dpi "Set News Preferences..." opens the panel, 1380 by 704, right
#      below the strip.
#   tools/wine-dpi-e2e.sh build-win/ticker.exe dpi_probe.exe CONTENT_BASE_URL WINEPREFIX [shot-folder]
# With a shot folder, the three strips are kept there as strip-96dpi.png,
# strip-144dpi.png and strip-192dpi.png, and the panel as panel-192dpi.png.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath "$1")
probe=$(realpath "$2")
base=$3
prefix=$(realpath -m "$4") # Wine wants it absolute
shots=${5:-}
command -v xdotool >/dev/null || { echo "FAIL: xdotool is missing (tools/deps.sh installs it)" >&2; exit 1; }

. "$here/tools/wine-session.sh"
wine_run_start "$base" "$prefix" "$here/tests/wine/panel" 2560x1440

# The geometry "WxH+X+Y" of the strip's window, or of the panel (the program's
# window without a caption).
geometry() {
  xwininfo -root -tree | sed -n "s/^ *0x[0-9a-f]* $1: (\"ticker.exe\" \"ticker.exe\") *\([0-9x+-]*\) .*/\1/p" | head -n 1
}
strip() { geometry '"Norvale Desktop Ticker"'; }
measured() {
  import -window root -depth 8 "ppm:$work/shot.ppm" && python3 "$here/tests/wine/check_dpi.py" "$work/shot.ppm" >"$work/check.log" 2>&1
}
pixel() {
  import -window root -depth 8 -crop "1x1+$1+$2" +repage txt:- 2>/dev/null |
    sed -n '2s/^[^(]*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1,\2,\3/p'
}
is_colour() { [ "$(pixel "$1" "$2")" = "$3" ]; }

declare -A ink
for dpi in 96 144 192; do
  echo "$dpi dpi"
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 ||
    fail "cannot set LogPixels"
  wine reg delete 'HKCU\Software\Norvale' /f >/dev/null 2>&1 || true
  answers=$(wine "$probe" 2>&1 | tr -d '\r') || fail "dpi_probe failed: $answers"
  echo "   the seam: $answers"
  [[ $answers == "system $dpi window $dpi monitor $dpi "* ]] || fail "the seam does not answer $dpi for the system, a window and its monitor"
  wine "$exe" >"$work/ticker.log" 2>&1 &
  program=$!
  height=$(((25 * dpi + 48) / 96))
  width=$(((703 * dpi + 48) / 96))
  within 40 bash -c "[[ \"\$(xwininfo -root -tree | grep -F '\"Norvale Desktop Ticker\": (\"ticker.exe\"')\" == *' ${width}x${height}+'* ]]" ||
    fail "no strip ${width}x${height} (it is '$(strip)')"
  echo "   the strip's window: $(strip)"
  within 30 measured || fail "the movie does not show on the strip ($(cat "$work/check.log"))"
  read -r _ top stage left right _ glyphs <"$work/check.log"
  echo "   the movie's stage: rows $top-$((top + stage - 1)), x $left-$right; its text's ink $glyphs rows high"
  [ "$stage" -eq "$height" ] || fail "the stage is $stage rows high, not $height"
  ink[$dpi]=$glyphs
  [ -n "$shots" ] && import -window root -crop "$((right + 40))x$((stage + 40))+$((left - 20))+$((top - 20))" +repage \
    "$shots/strip-${dpi}dpi.png"
  if [ "$dpi" -eq 192 ]; then
    echo "   the preferences panel"
    # The grab handle, 20 pixels wide at the strip's right end, opens the menu.
    xdotool mousemove $((right + 10)) $((top + stage / 2)) click 3
    sleep 1
    xdotool key p
    panel_want="1380x704+$left+$((top + stage))"
    within 10 bash -c "[[ \"\$(xwininfo -root -tree | grep -F '(has no name): (\"ticker.exe\"')\" == *' $panel_want '* ]]" ||
      fail "the panel did not open $panel_want (it is '$(geometry '(has no name)')')"
    within 15 is_colour $((left + 600)) $((top + stage + 400)) 0,255,255 || fail "the preferences movie does not show in the panel"
    echo "   the panel: $(geometry '(has no name)')"
    [ -n "$shots" ] && import -window root -crop "1600x900+0+0" +repage "$shots/panel-192dpi.png"
  fi
  close_ticker
done
# The glyphs grow with the DPI: within a sixth of the scale (hinting rounds each
# size to whole pixels).
for dpi in 144 192; do
  ratio=$((ink[$dpi] * 96 * 100 / (ink[96] * dpi)))
  echo "   ink at $dpi dpi: ${ink[$dpi]} rows, $ratio % of 96 dpi's ${ink[96]} scaled"
  [ "$ratio" -ge 84 ] && [ "$ratio" -le 117 ] || fail "the text at $dpi dpi does not scale with the strip"
done
echo "PASS"
