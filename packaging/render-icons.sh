#!/usr/bin/env bash
# Renders the PNG sizes of the program's icon (io.planovix.Planovix.svg) with
# ImageMagick's own drawing primitives, so no SVG renderer is needed. Run it
# after changing the SVG and commit the PNGs; the build only installs them.
set -euo pipefail
cd "$(dirname "$0")"
draw=(
  -fill '#9aa3ad' -draw 'roundrectangle 8,56 120,72 2,2'
  -fill '#2f3b48' -draw 'roundrectangle 34,10 94,118 8,8'
  -fill '#3fa34d' -draw 'roundrectangle 38,14 90,28 3,3' -draw 'roundrectangle 38,100 90,114 3,3'
  -fill '#1f2a33' -draw 'circle 48,21 52,21' -draw 'circle 64,21 68,21' -draw 'circle 80,21 84,21'
                  -draw 'circle 48,107 52,107' -draw 'circle 64,107 68,107' -draw 'circle 80,107 84,107'
  -fill '#e8eef3' -draw 'roundrectangle 40,36 88,92 4,4'
  -fill none -stroke '#d6452e' -strokewidth 4 -draw 'stroke-linejoin round stroke-linecap round polyline 44,80 52,80 58,50 66,74 72,44 78,62 84,62'
  -stroke none -fill '#3fa34d' -draw 'circle 82,42 85,42'
)
# Drawn at 512 (4x, by -affine) and scaled down for smooth edges.
/usr/bin/convert -size 512x512 xc:none -affine 4,0,0,4,0,0 "${draw[@]}" -strip big.png
for size in 48 128 256; do
  /usr/bin/convert big.png -resize "${size}x${size}" -depth 8 -strip "icon-${size}.png"
done
rm -f big.png
