#!/usr/bin/env python3
"""Draws the updater's application icon (a blue disc with a white upward arrow) as a .ico file
holding 16x16 and 32x32 images in 32-bit colour with an alpha channel."""
import struct
import sys


def pixel(size, x, y):
    """BGRA of one pixel, sampled 4x4 per pixel so the edges are smooth."""
    inside_disc = inside_arrow = 0
    for sy in range(4):
        for sx in range(4):
            u = (x + (sx + 0.5) / 4) / size * 2 - 1  # -1..1, left to right
            v = 1 - (y + (sy + 0.5) / 4) / size * 2  # -1..1, bottom to top
            if u * u + v * v <= 0.92 * 0.92:
                inside_disc += 1
                head = v >= 0.05 and abs(u) <= (0.62 - v) * 1.0
                shaft = -0.62 <= v < 0.05 and abs(u) <= 0.2
                if head or shaft:
                    inside_arrow += 1
    alpha = inside_disc * 255 // 16
    if alpha == 0:
        return (0, 0, 0, 0)
    white = inside_arrow / max(inside_disc, 1)
    blue = (0xC8, 0x6A, 0x1E)  # B, G, R
    b, g, r = (int(c + (255 - c) * white) for c in blue)
    return (b, g, r, alpha)


def image(size):
    """One icon image: BITMAPINFOHEADER, bottom-up BGRA rows, then an all-zero AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            rows += bytes(pixel(size, x, y))
    mask_row = ((size + 31) // 32) * 4
    return header + bytes(rows) + bytes(mask_row * size)


def main(path):
    images = [image(s) for s in (16, 32)]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in zip((16, 32), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1])
