#!/usr/bin/env python3
"""Writes the flat-coloured state images of the control-states test skin (tests/skin/controls/skin.xml).
Each state is one plain colour, so a screenshot can be checked pixel by pixel against the table below.

Usage: make_images.py [<folder>]      (default: the folder of this script)
"""
import os
import struct
import sys
import zlib

# Image name -> (width, height of one cell, [cell colours from top to bottom, 0xRRGGBB]).
IMAGES = {
    # Button strip: normal, hot, pushed, disabled.
    "btn.png": (80, 24, [0x3060C0, 0x40A0F0, 0x103080, 0xA0A0A0]),
    # Option and check box: not selected, selected.
    "opt.png": (20, 20, [0xC04040, 0x40C040]),
    # Progress bar: the empty bar, the filled part.
    "prog.png": (10, 12, [0xE0E0E0, 0x20C060]),
    # Edit: normal, hot, focused, disabled.
    "edit.png": (40, 24, [0xF0F0F0, 0xFFF0C0, 0xC0E0FF, 0xC8C8C8]),
}


def png(width, height, rows):
    """An 8-bit RGB PNG from rows of (r, g, b) tuples."""
    raw = b"".join(b"\x00" + b"".join(struct.pack("BBB", *px) for px in row) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, (width, cell, colours) in IMAGES.items():
        rows = []
        for colour in colours:
            px = ((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF)
            rows += [[px] * width for _ in range(cell)]
        with open(os.path.join(folder, name), "wb") as f:
            f.write(png(width, len(rows), rows))


if __name__ == "__main__":
    main()
