#!/usr/bin/env bash
# Draws velor.ico (256, 48, 32 and 16 pixels) after packaging/velor.svg, four times its size,
# with ImageMagick's own drawing (Debian's ImageMagick has no SVG renderer without extra
# packages). Run it after a change of the picture and commit the icon.
set -euo pipefail
cd "$(dirname "$0")"
png=$(mktemp --suffix=.png)
trap 'rm -f "$png"' EXIT
line() { echo "line $1 $2"; }
convert -size 256x256 xc:none \
    -fill '#1c3f6e' -stroke black -strokewidth 8 -draw "roundrectangle 16,32 240,224 24,24" \
    -fill '#d8e4f0' -stroke none -draw "roundrectangle 48,64 208,144 8,8" \
    -stroke '#c00000' -strokewidth 12 -draw "$(line 56,120 88,88)" -draw "$(line 88,88 120,112)" \
    -draw "$(line 120,112 152,72)" -draw "$(line 152,72 200,104)" \
    -fill '#f0c000' -stroke black -strokewidth 4 -draw "rectangle 48,168 80,200" \
    -draw "rectangle 96,168 128,200" -draw "rectangle 144,168 176,200" \
    -draw "rectangle 192,168 208,200" "$png"
convert "$png" -define icon:auto-resize=256,48,32,16 velor.ico
