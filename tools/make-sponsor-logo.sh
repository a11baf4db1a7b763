#!/usr/bin/env bash
# Draws the demo sponsor's logo (59 x 25, the strip's sponsor slot) with
# ImageMagick into content/sponsor/logo.jpg. The result is committed; run this
# again after changing the drawing.
set -euo pipefail
out=$(cd "$(dirname "$0")/.." && pwd)/content/sponsor/logo.jpg
mkdir -p "$(dirname "$out")"
# An invented tea merchant: a warm lantern on deep green and the word "TEA".
convert -size 59x25 xc:'#1f4d2b' \
  -fill '#f2b33d' -draw 'roundrectangle 5,6 15,20 2,2' \
  -fill '#1f4d2b' -draw 'rectangle 8,9 12,17' \
  -fill '#ffd97a' -draw 'rectangle 9,10 11,16' \
  -fill '#f2b33d' -draw 'rectangle 8,3 12,5' \
  -font DejaVu-Sans-Bold -pointsize 12 -fill '#f7f1e1' -annotate +20+17 'TEA' \
  -quality 92 -strip "JPEG:$out"
echo "wrote $out"
