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

# The strip's pictures, 25 pixels high on the strip's grey. Text stays in the left
# 330 pixels: the status line is drawn right-aligned over the rest.
grey='#424242'
orange='#ff8c1a'
# The loading picture: the wordmark, an orange rule and "news ticker" with three
# dots that say "on its way".
convert -size 445x25 xc:"$grey" \
  -font $font -pointsize 13 -fill white -annotate +8+17 'NORVALE' \
  -fill "$orange" -draw 'rectangle 8,20 74,21' \
  -font DejaVu-Sans -pointsize 11 -fill '#c8c8c8' -annotate +84+16 'news ticker' \
  -fill "$orange" -draw 'circle 160,12 161,12' -draw 'circle 167,12 168,12' -draw 'circle 174,12 175,12' \
  BMP3:"$out/loading.bmp"
# The failure picture: a warning sign in place of the dots, "news ticker" greyed.
convert -size 445x25 xc:"$grey" \
  -font $font -pointsize 13 -fill white -annotate +8+17 'NORVALE' \
  -fill "$orange" -draw 'rectangle 8,20 74,21' \
  -font DejaVu-Sans -pointsize 11 -fill '#8c8c8c' -annotate +84+16 'news ticker' \
  -fill '#e0402a' -draw 'polygon 166,4 176,21 156,21' \
  -font $font -pointsize 11 -fill white -annotate +163+19 '!' \
  BMP3:"$out/oops.bmp"
# The grab handle: a column of raised dots.
convert -size 10x25 xc:"$grey" \
  -fill '#9a9a9a' -draw 'point 4,5 point 4,9 point 4,13 point 4,17 point 4,21' \
  -fill '#2a2a2a' -draw 'point 5,6 point 5,10 point 5,14 point 5,18 point 5,22' \
  BMP3:"$out/grab.bmp"
# The preferences panel's grab handle, along its right edge: the strip's dots,
# repeated down the whole height.
dots=""
for y in $(seq 9 8 341); do dots="$dots point 4,$y"; done
shade=""
for y in $(seq 10 8 342); do shade="$shade point 5,$y"; done
convert -size 9x350 xc:"$grey" -fill '#9a9a9a' -draw "$dots" -fill '#2a2a2a' -draw "$shade" BMP3:"$out/prefsgrab.bmp"
echo "wrote $out/loading.bmp $out/oops.bmp $out/grab.bmp $out/prefsgrab.bmp"

# The about box: 322 by 112 on the box's dark blue, the product name with its
# version, the agency that designed the ticker, and the copyright line.
blue='#000099'
convert -size 322x112 xc:"$blue" \
  -fill '#0a0ab0' -draw 'rectangle 0,0 321,5' \
  -fill "$orange" -draw 'rectangle 11,43 96,45' \
  -font $font -pointsize 17 -fill white -annotate +11+37 'NORVALE' \
  -font DejaVu-Sans -pointsize 12 -fill white -annotate +110+37 'Desktop Ticker 3.2' \
  -font DejaVu-Sans -pointsize 10 -fill '#c8d0ff' -annotate +11+72 'Designed for Norvale by Halloway & Finch Interactive' \
  -font DejaVu-Sans -pointsize 9 -fill '#9aa4e6' -annotate +11+98 "Copyright (c) 2004-2026 Norvale. All rights reserved." \
  -quality 92 "$out/about.jpg"
echo "wrote $out/about.jpg"
