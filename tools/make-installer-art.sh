#!/usr/bin/env bash
# Draws the picture on the installer's first and last pages (164 by 314, the size
# that the wizard pages show) with ImageMagick into installer/welcome.bmp, in the
# strip's colours. The result is committed; run this again after changing it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
grey='#424242'
orange='#ff8c1a'
convert "$top/resources/ticker.ico[3]" -resize 96x96 "$tmp/icon.png"
convert -size 164x314 xc:"$grey" \
  "$tmp/icon.png" -geometry +34+56 -composite \
  -font DejaVu-Sans-Bold -pointsize 22 -fill white -gravity north -annotate +0+176 'NORVALE' \
  -fill "$orange" -draw 'rectangle 34,208 129,210' \
  -font DejaVu-Sans -pointsize 14 -fill '#c8c8c8' -annotate +0+220 'desktop ticker' \
  -fill "$orange" -draw 'circle 70,262 72,262' -draw 'circle 82,262 84,262' -draw 'circle 94,262 96,262' \
  -type TrueColor BMP3:"$top/installer/welcome.bmp"
echo "wrote $top/installer/welcome.bmp"
