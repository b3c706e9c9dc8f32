#!/usr/bin/env python3
"""Writes korvane.ico: the program's own multi-icon collection, offered as the
default source in the icon chooser. Each icon is a 32x32 PNG image drawn here
from simple shapes, so the file needs no outside artwork."""
import math, struct, sys, zlib

SIZE = 32
COLOURS = [(0x3b, 0x6e, 0xa8), (0xd9, 0x53, 0x4f), (0x5c, 0xb8, 0x5c), (0xf0, 0xad, 0x4e),
           (0x8e, 0x44, 0xad), (0x1a, 0xbc, 0x9c), (0x34, 0x49, 0x5e), (0xe6, 0x7e, 0x22)]
SHAPES = ["stack", "circle", "square", "triangle", "diamond", "play", "ring", "bars"]


def inside(shape, x, y):
    cx, cy = x - 15.5, y - 15.5
    if shape == "circle":
        return cx * cx + cy * cy <= 13.5 ** 2
    if shape == "ring":
        return 8 ** 2 <= cx * cx + cy * cy <= 13.5 ** 2
    if shape == "square":
        return abs(cx) <= 12 and abs(cy) <= 12
    if shape == "diamond":
        return abs(cx) + abs(cy) <= 14
    if shape == "triangle":
        return y >= 4 and abs(cx) <= (y - 3) * 0.5 and y <= 28
    if shape == "play":
        return x >= 7 and x <= 27 and abs(cy) <= (27 - x) * 0.6
    if shape == "bars":
        return (x // 6) % 2 == 0 and 4 <= x <= 28 and 28 - (x // 6) * 5 <= y <= 28
    # stack: three offset windows
    for i in range(3):
        if 3 + i * 5 <= x <= 20 + i * 5 and 3 + i * 5 <= y <= 18 + i * 5:
            return True
    return False


def png(shape, colour):
    rows = b""
    for y in range(SIZE):
        row = b"\x00"
        for x in range(SIZE):
            if inside(shape, x, y):
                row += bytes(colour) + b"\xff"
            else:
                row += b"\x00\x00\x00\x00"
        rows += row
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def main(out):
    images = [png(shape, COLOURS[(i + j) % len(COLOURS)])
              for j in range(2) for i, shape in enumerate(SHAPES)]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, data = b"", b""
    for image in images:
        entries += struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), offset + len(data))
        data += image
    with open(out, "wb") as f:
        f.write(header + entries + data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "korvane.ico")
