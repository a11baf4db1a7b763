#!/usr/bin/env bash
# Draws the program's artwork with ImageMagick into resources/. The results are
# committed, so a build does not need ImageMagick; run this again after changing
# a drawing.
set -euo pipefail
out=$(cd "$(dirname "$0")/.." && pwd)/resources
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
font=DejaVu-Sans-Bold

# The program icon: the strip's dark grey, a white N, and an orange ticker line.
for size in 16 32 48 256; do
  r=$((size / 8))
  convert -size ${size}x${size} xc:none \
    -fill '#424242' -draw "roundrectangle 0,0 $((size - 1)),$((size - 1)) $r,$r" \
    -fill '#ff8c1a' -draw "rectangle $((size / 8)),$((size * 3 / 4)) $((size * 7 / 8)),$((size * 13 / 16))" \
    -fill white -font $font -pointsize $((size * 5 / 8)) -gravity center -annotate +0-$((size / 10)) 'N' \
    "$tmp/icon$size.png"
done
convert "$tmp/icon16.png" "$tmp/icon32.png" "$tmp/icon48.png" "$tmp/icon256.png" "$out/ticker.ico"
echo "wrote $out/ticker.ico"

# The strip's pictures, 25 pixels high on the strip's grey, drawn at 100, 150
# and 200 percent (name.bmp, name-150.bmp, name-200.bmp): the program shows the
# scale nearest to its monitor's DPI pixel for pixel. Text stays in the left 330
# pixels: the status line is drawn right-aligned over the rest.
grey='#424242'
orange='#ff8c1a'
# px N: a length given at 100 percent, at the scale being drawn, rounded.
px() { echo $((($1 * pct + 50) / 100)); }
# dot X Y: a one-pixel dot of the 100 percent drawing, as a square at the scale.
dot() { echo "rectangle $(px $1),$(px $2) $(($(px $(($1 + 1))) - 1)),$(($(px $(($2 + 1))) - 1))"; }
for pct in 100 150 200; do
  suffix=""
  [ $pct -ne 100 ] && suffix="-$pct"
  # The loading picture: the wordmark, an orange rule and "news ticker" with three
  # dots that say "on its way".
  convert -size $(px 445)x$(px 25) xc:"$grey" \
    -font $font -pointsize $(px 13) -fill white -annotate +$(px 8)+$(px 17) 'NORVALE' \
    -fill "$orange" -draw "rectangle $(px 8),$(px 20) $(($(px 75) - 1)),$(($(px 22) - 1))" \
    -font DejaVu-Sans -pointsize $(px 11) -fill '#c8c8c8' -annotate +$(px 84)+$(px 16) 'news ticker' \
    -fill "$orange" \
    -draw "circle $(px 160),$(px 12) $(px 161),$(px 12)" \
    -draw "circle $(px 167),$(px 12) $(px 168),$(px 12)" \
    -draw "circle $(px 174),$(px 12) $(px 175),$(px 12)" \
    BMP3:"$out/loading$suffix.bmp"
  # The failure picture: a warning sign in place of the dots, "news ticker" greyed.
  convert -size $(px 445)x$(px 25) xc:"$grey" \
    -font $font -pointsize $(px 13) -fill white -annotate +$(px 8)+$(px 17) 'NORVALE' \
    -fill "$orange" -draw "rectangle $(px 8),$(px 20) $(($(px 75) - 1)),$(($(px 22) - 1))" \
    -font DejaVu-Sans -pointsize $(px 11) -fill '#8c8c8c' -annotate +$(px 84)+$(px 16) 'news ticker' \
    -fill '#e0402a' -draw "polygon $(px 166),$(px 4) $(px 176),$(px 21) $(px 156),$(px 21)" \
    -font $font -pointsize $(px 11) -fill white -annotate +$(px 163)+$(px 19) '!' \
    BMP3:"$out/oops$suffix.bmp"
  # The grab handle: a column of raised dots.
  light=""
  dark=""
  for y in 5 9 13 17 21; do
    light="$light $(dot 4 $y)"
    dark="$dark $(dot 5 $((y + 1)))"
  done
  convert -size $(px 10)x$(px 25) xc:"$grey" -fill '#9a9a9a' -draw "$light" -fill '#2a2a2a' -draw "$dark" \
    BMP3:"$out/grab$suffix.bmp"
  # The preferences panel's grab handle, along its right edge: the strip's dots,
  # repeated down the whole height.
  light=""
  dark=""
  for y in $(seq 9 8 341); do
    light="$light $(dot 4 $y)"
    dark="$dark $(dot 5 $((y + 1)))"
  done
  convert -size $(px 9)x$(px 350) xc:"$grey" -fill '#9a9a9a' -draw "$light" -fill '#2a2a2a' -draw "$dark" \
    BMP3:"$out/prefsgrab$suffix.bmp"
  echo "wrote $out/loading$suffix.bmp $out/oops$suffix.bmp $out/grab$suffix.bmp $out/prefsgrab$suffix.bmp"

  # The about box: 322 by 112 on the box's dark blue, the product name with its
  # version, the agency that designed the ticker, and the copyright line.
  blue='#000099'
  convert -size $(px 322)x$(px 112) xc:"$blue" \
    -fill '#0a0ab0' -draw "rectangle 0,0 $(($(px 322) - 1)),$(($(px 6) - 1))" \
    -fill "$orange" -draw "rectangle $(px 11),$(px 43) $(($(px 97) - 1)),$(($(px 46) - 1))" \
    -font $font -pointsize $(px 17) -fill white -annotate +$(px 11)+$(px 37) 'NORVALE' \
    -font DejaVu-Sans -pointsize $(px 12) -fill white -annotate +$(px 110)+$(px 37) 'Desktop Ticker 3.2' \
    -font DejaVu-Sans -pointsize $(px 10) -fill '#c8d0ff' -annotate +$(px 11)+$(px 72) 'Designed for Norvale by Halloway & Finch Interactive' \
    -font DejaVu-Sans -pointsize $(px 9) -fill '#9aa4e6' -annotate +$(px 11)+$(px 98) "Copyright (c) 2004-2026 Norvale. All rights reserved." \
    -quality 92 "$out/about$suffix.jpg"
  echo "wrote $out/about$suffix.jpg"
done
