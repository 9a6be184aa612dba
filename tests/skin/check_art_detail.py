#!/usr/bin/env python3
"""Proves that the skin's 2x pictures are drawn at 2x, not enlarged: in a region along an edge of the art
(the install button's rim, text and icon; the panel button's text and arrow), the high-frequency energy of
the 2x picture must clearly exceed that of the 1x picture enlarged twice with a bilinear filter (what the
installer would draw at 200 % without the 2x picture). The energy is the mean squared Laplacian of the
pixels' luminance times alpha; the ratio is printed. (The drawn art scores about 10; the 1x art enlarged
with a sharpening Lanczos filter scores about 2.2, so the bar of 5 tells the two apart.)

Usage: check_art_detail.py <skin-folder>
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_skin import read_rgba  # noqa: E402

# (picture, logical region x0, y0, x1, y1, least ratio of the 2x picture's energy to the enlarged 1x one's)
REGIONS = [
    ("Btn_Install.png", (8, 6, 241, 72), 5.0),
    ("Custom_Up.png", (2, 3, 128, 27), 5.0),
]


def luminance(width, height, rows, box):
    """Luminance times alpha (0..255) of the pixels in box, as a list of rows of floats."""
    x0, y0, x1, y1 = box
    out = []
    for y in range(y0, y1):
        row = rows[y]
        out.append([(0.299 * row[4 * x] + 0.587 * row[4 * x + 1] + 0.114 * row[4 * x + 2]) * row[4 * x + 3] / 255
                    for x in range(x0, x1)])
    return out


def enlarge_twice(img):
    """Bilinear enlargement by two (pixel centres at (i + 0.5) / 2 - 0.5; edges repeat)."""
    def line(values):
        n = len(values)
        out = []
        for i in range(2 * n):
            c = (i + 0.5) / 2 - 0.5
            j = int(c // 1)
            t = c - j
            a = values[min(max(j, 0), n - 1)]
            b = values[min(max(j + 1, 0), n - 1)]
            out.append(a + (b - a) * t)
        return out
    across = [line(r) for r in img]
    columns = [line([r[x] for r in across]) for x in range(len(across[0]))]
    return [[columns[x][y] for x in range(len(columns))] for y in range(len(columns[0]))]


def energy(img):
    h, w = len(img), len(img[0])
    total = 0.0
    for y in range(1, h - 1):
        up, row, down = img[y - 1], img[y], img[y + 1]
        for x in range(1, w - 1):
            lap = 4 * row[x] - row[x - 1] - row[x + 1] - up[x] - down[x]
            total += lap * lap
    return total / ((w - 2) * (h - 2))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    skin = sys.argv[1]
    failures = 0
    for name, (x0, y0, x1, y1), least in REGIONS:
        stem = os.path.splitext(name)[0]
        w1, h1, rows1 = read_rgba(os.path.join(skin, name))
        w2, h2, rows2 = read_rgba(os.path.join(skin, stem + "@2x.png"))
        if (w2, h2) != (2 * w1, 2 * h1):
            print("FAIL %s: the 2x picture is %dx%d, not %dx%d" % (name, w2, h2, 2 * w1, 2 * h1))
            failures += 1
            continue
        drawn = energy(luminance(w2, h2, rows2, (2 * x0, 2 * y0, 2 * x1, 2 * y1)))
        enlarged = energy(enlarge_twice(luminance(w1, h1, rows1, (x0, y0, x1, y1))))
        ratio = drawn / enlarged if enlarged > 0 else float("inf")
        ok = ratio >= least
        failures += 0 if ok else 1
        print("%s %s: high-frequency energy at 2x %.1f, 1x enlarged %.1f, ratio %.2f (at least %.1f)"
              % ("ok  " if ok else "FAIL", name, drawn, enlarged, ratio, least))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
