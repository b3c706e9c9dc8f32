#!/usr/bin/env bash
# Draws the program's own SVG pictures as PNG at the sizes the windows use,
# for a Qt that reads no SVG (Qt for MinGW here): icons/pictures/png/.
#   scripts/render-pictures.sh RENDER_ICON [OUT_DIR]
# RENDER_ICON is build/packaging/render_icon of a Linux build. With OUT_DIR
# the pictures go there instead (the check that the committed ones are up
# to date compares the two).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
render=$1
out=${2:-$root/icons/pictures/png}
mkdir -p "$out"
for svg in "$root"/icons/pictures/*.svg "$root"/icons/korvane.svg; do
  name=$(basename "$svg" .svg)
  for size in 16 32 48; do
    "$render" "$svg" "$out/$name-$size.png" "$size"
  done
done
