#!/usr/bin/env bash
# Draws the program's own SVG pictures as PNG at the sizes the windows use,
# for a Qt that reads no SVG (Qt for MinGW here): icons/pictures/png/. The
# program's icon also becomes korvane-program.ico there (16 to 256 pixels),
# the icon of korvane.exe and of desktop shortcuts on Windows.
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
"$render" "$root/icons/korvane.svg" "$out/korvane-256.png.tmp" 256
python3 - "$out" <<'PY'
import struct, sys, os
out = sys.argv[1]
names = [f"korvane-{s}.png" for s in (16, 32, 48)] + ["korvane-256.png.tmp"]
images = [open(os.path.join(out, n), "rb").read() for n in names]
sizes = [16, 32, 48, 256]
head = struct.pack("<HHH", 0, 1, len(images))
offset = 6 + 16 * len(images)
entries, data = b"", b""
for size, png in zip(sizes, images):
    # PNG-compressed entries, as icon files have held since Windows Vista.
    entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(png), offset)
    offset += len(png)
    data += png
open(os.path.join(out, "korvane-program.ico"), "wb").write(head + entries + data)
os.remove(os.path.join(out, "korvane-256.png.tmp"))
PY
