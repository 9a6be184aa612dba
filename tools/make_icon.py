#!/usr/bin/env python3
"""Draws the installer's window icon: a rounded square with a blue-to-teal gradient and a white "V"
chevron, at 16, 24, 32, 48 and 256 pixels, and writes it as a Windows .ico (32-bit images with alpha).

Usage: make_icon.py <out.ico>
"""
import math
import struct
import sys

SIZES = (16, 24, 32, 48, 256)
TOP = (0x24, 0x3B, 0x8C)      # deep blue
BOTTOM = (0x1F, 0xA5, 0x9A)   # teal
SS = 4                        # supersampling per axis


def seg_dist(px, py, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * vx + (py - ay) * vy) / (vx * vx + vy * vy)))
    return math.hypot(px - (ax + t * vx), py - (ay + t * vy))


def inside_round_rect(x, y, r):
    # unit square [0,1]^2 with corner radius r
    cx = min(max(x, r), 1 - r)
    cy = min(max(y, r), 1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def pixel(size, i, j):
    """BGRA of pixel (i, j), j counted from the top."""
    bg = fg = 0
    for sy in range(SS):
        for sx in range(SS):
            x = (i + (sx + 0.5) / SS) / size
            y = (j + (sy + 0.5) / SS) / size
            if not inside_round_rect(x, y, 0.2):
                continue
            bg += 1
            w = 0.085
            if seg_dist(x, y, 0.25, 0.28, 0.5, 0.76) < w or seg_dist(x, y, 0.75, 0.28, 0.5, 0.76) < w:
                fg += 1
    n = SS * SS
    if bg == 0:
        return (0, 0, 0, 0)
    t = (j + 0.5) / size
    base = [TOP[k] + (BOTTOM[k] - TOP[k]) * t for k in range(3)]
    a = bg / n
    f = fg / bg
    rgb = [base[k] * (1 - f) + 255 * f for k in range(3)]
    return (int(rgb[2] + 0.5), int(rgb[1] + 0.5), int(rgb[0] + 0.5), int(a * 255 + 0.5))


def dib(size):
    rows = []
    for j in range(size - 1, -1, -1):  # bottom-up
        rows.append(b"".join(bytes(pixel(size, i, j)) for i in range(size)))
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    andmask = b"\0" * (mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(andmask), 0, 0, 0, 0)
    return header + xor + andmask


def main():
    images = [dib(s) for s in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
