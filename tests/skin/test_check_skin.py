#!/usr/bin/env python3
"""Proves that the skin check bites: each case breaks a copy of the skin folder in one way and expects the
check to report exactly that fault; the untouched copy, and one whose background is re-encoded with alpha
and every PNG row filter, must pass.

Usage: test_check_skin.py <skin-folder>
"""
import os
import shutil
import struct
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_skin  # noqa: E402


def write_png(path, width, height, alpha_at=None, channels=4):
    """An RGB or RGBA PNG; every row uses another filter type (0 to 4) so the reader's unfiltering is
    exercised. alpha_at: (x, y) of one fully transparent pixel."""
    def pixel(x, y):
        px = [(x * 7) & 255, (y * 3) & 255, (x + y) & 255, 255][:channels]
        if alpha_at == (x, y):
            px[3] = 0
        return px

    stride, prev, raw = width * channels, bytearray(width * channels), bytearray()
    for y in range(height):
        line = bytearray(v for x in range(width) for v in pixel(x, y))
        ftype, out = y % 5, bytearray()
        for i, v in enumerate(line):
            a = line[i - channels] if i >= channels else 0
            b, c = prev[i], (prev[i - channels] if i >= channels else 0)
            if ftype == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else b if pb <= pc else c
            else:
                pred = (0, a, b, (a + b) // 2)[ftype]
            out.append((v - pred) & 255)
        raw += bytes([ftype]) + out
        prev = line

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6 if channels == 4 else 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(raw)))
                + chunk(b"IEND", b""))


def edit_xml(old, new):
    def apply(folder):
        path = os.path.join(folder, "skin.xml")
        text = open(path, encoding="utf-8").read()
        if old not in text:
            raise AssertionError("the skin no longer holds %r" % old)
        open(path, "w", encoding="utf-8").write(text.replace(old, new, 1))
    return apply


CASES = [
    # (what is broken, how, text expected in a fault; None: no fault at all)
    ("nothing", lambda d: None, None),
    ("background with alpha, all opaque", lambda d: write_png(os.path.join(d, "bk.png"), 600, 400), None),
    ("source past the strip's right edge",
     edit_xml("source=&apos;498,0,747,84&apos;", "source=&apos;498,0,748,84&apos;"), "is not inside"),
    ("image file missing", lambda d: os.remove(os.path.join(d, "Edit.png")), "no image 'Edit.png'"),
    ("two blanks between items", edit_xml("&apos; source=", "&apos;  source="), "exactly one blank"),
    ("image name misspelt", edit_xml("file=&apos;Btn_Close.png&apos;", "file=&apos;Btn_close.png&apos;"),
     "no image 'Btn_close.png'"),
    ("corners wider than the source", edit_xml("corner=&apos;7,7,7,7&apos;", "corner=&apos;25,7,25,7&apos;"),
     "leave no middle"),
    ("background with a transparent pixel",
     lambda d: write_png(os.path.join(d, "bk1.png"), 600, 400, alpha_at=(599, 399)), "bk1.png: not opaque"),
    ("background of the wrong size", lambda d: write_png(os.path.join(d, "bk2.png"), 600, 399, channels=3),
     "bk2.png: 600x399, expected 600x400"),
    ("slideshow picture of the wrong size", lambda d: write_png(os.path.join(d, "1.png"), 600, 400, channels=3),
     "1.png: 600x400, expected 600x240"),
    ("strip wider than its states", lambda d: write_png(os.path.join(d, "Btn_Mini.png"), 97, 22),
     "but its states span 96x22"),
    ("runtime strip missing a state", lambda d: write_png(os.path.join(d, "Custom_Down.png"), 130, 60),
     "source 0,60,130,90 is not inside"),
    ("image nobody uses", lambda d: write_png(os.path.join(d, "extra.png"), 4, 4), "extra.png: not used"),
    ("markup broken", edit_xml("</Window>", "</Windows>"), "unmatched closing tag"),
    ("scaled strip a pixel short", lambda d: write_png(os.path.join(d, "Btn_Mini@2x.png"), 191, 44),
     "Btn_Mini@2x.png: 191x44, expected 192x44"),
    ("1.5x picture rounded down", lambda d: write_png(os.path.join(d, "Edit@1.5x.png"), 523, 37),
     "Edit@1.5x.png: 523x37, expected 524x38"),
    ("scaled background with a transparent pixel",
     lambda d: write_png(os.path.join(d, "bk1@2x.png"), 1200, 800, alpha_at=(0, 0)), "bk1@2x.png: not opaque"),
    ("scaled picture of an unused image", lambda d: write_png(os.path.join(d, "extra@2x.png"), 4, 4),
     "which the skin does not use"),
    ("scaled JPEG of the wrong size", lambda d: shutil.copy(os.path.join(d, "1@2x.jpg"), os.path.join(d, "bk@2x.jpg")),
     "bk@2x.jpg: 1200x480, expected 1200x800"),
]


def main():
    skin = sys.argv[1]
    failures = 0
    for what, breakage, expected in CASES:
        with tempfile.TemporaryDirectory() as tmp:
            copy = os.path.join(tmp, "skin")
            shutil.copytree(skin, copy)
            breakage(copy)
            faults = check_skin.check(copy)
        if expected is None:
            ok = not faults
        else:
            ok = any(expected in f for f in faults)
        if not ok:
            failures += 1
            print("FAIL %s: expected %s, got %s" % (what, repr(expected) if expected else "no fault", faults))
        else:
            print("ok   %s" % what)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
