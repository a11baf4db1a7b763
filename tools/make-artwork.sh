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
