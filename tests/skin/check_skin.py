#!/usr/bin/env python3
"""Checks the installer's skin folder: every image string in skin.xml, and every one the installer sets at run
time, names an image of the folder and reads a source rectangle (and corners) inside it; its items are parsed
to the end (one blank between items); state strips are exactly as large as the states they hold; the window
backgrounds and slideshow pictures have the window's or the slideshow area's size and are opaque; and every
image of the folder is used. Prints one line per fault and exits 1 when there is any.

Usage: check_skin.py <skin-folder>
"""
import html
import os
import re
import struct
import sys
import zlib

# Image strings the installer itself puts on controls at run time (window backgrounds of the later pages,
# the custom-panel button in both positions, the slideshow pictures, the bar's fill while work is stopped).
RUNTIME_STRINGS = [("Hor_Window", "bk1.png"), ("Hor_Window", "bk2.png")] + [
    ("Btn_Custom", "file='%s' source='%s'" % (f, s))
    for f in ("Custom_Up.png", "Custom_Down.png") for s in ("0,0,130,30", "0,30,130,60", "0,60,130,90")] + [
    ("theme", "file='%d.png' fade='20'" % i) for i in range(3)] + [
    ("Pro_Install", "file='Progress.png' source='100,0,150,24' corner='7,7,7,7'")]


# ---------------------------------------------------------------------------------------------------------------
# Skin markup: tolerant like the installer's own parser (an attribute may follow the previous closing quote).

def parse_markup(text):
    """List of (tag, attributes, parent index) in document order."""
    text = re.sub(r"<[!?].*?[->?]>", "", text.lstrip("\ufeff"), flags=re.S)
    elements, stack = [], []
    for m in re.finditer(r"<(/?)(\w+)((?:\s*[\w:]+\s*=\s*\"[^\"]*\")*)\s*(/?)>", text):
        closing, tag, attr_text, empty = m.groups()
        if closing:
            if not stack or elements[stack[-1]][0] != tag:
                raise ValueError("unmatched closing tag </%s>" % tag)
            stack.pop()
            continue
        attrs = [(k, html.unescape(v)) for k, v in re.findall(r"([\w:]+)\s*=\s*\"([^\"]*)\"", attr_text)]
        elements.append((tag, dict(attrs), stack[-1] if stack else -1))
        if not empty:
            stack.append(len(elements) - 1)
    if not elements:
        raise ValueError("no element")
    return elements


def parse_image_string(image_str):
    """Items of an image string as the renderer reads them: key='value' pairs, each followed by exactly one
    blank before the next. Returns (items, error); error names where reading stopped early."""
    if "=" not in image_str:
        return {"file": image_str}, None
    items, i, n = {}, 0, len(image_str)
    while True:
        while i < n and 1 <= ord(image_str[i]) <= 32:
            i += 1
        if i >= n:
            return items, None
        m = re.compile(r"([^=\s]*)\s*=\s*'([^']*)'").match(image_str, i)
        if not m:
            return items, "unreadable item at %r" % image_str[i:]
        if m.group(2):
            items[m.group(1)] = m.group(2)
        i = m.end()
        if i < n and (image_str[i] != " " or image_str[i + 1:i + 2] in ("", " ")):
            return items, "items not separated by exactly one blank at %r" % image_str[i:]
        i += 1


def rect(value):
    v = [int(x) for x in re.findall(r"-?\d+", value)]
    return v if len(v) == 4 else None


# ---------------------------------------------------------------------------------------------------------------
# PNG reading: size and whether every pixel is opaque.

def png_chunks(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG file")
    pos, chunks = 8, []
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        chunks.append((kind, data[pos + 8:pos + 8 + length]))
        pos += 12 + length
    return chunks


def png_rows(chunks, width, height, bpp):
    """The unfiltered rows of a non-interlaced 8-bit PNG, one bytearray each."""
    raw = zlib.decompress(b"".join(d for k, d in chunks if k == b"IDAT"))
    stride = width * bpp
    prev = bytearray(stride)
    for y in range(height):
        ftype = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = line[x - bpp] if x >= bpp else 0
            b = prev[x]
            c = prev[x - bpp] if x >= bpp else 0
            if ftype == 1:
                line[x] = (line[x] + a) & 255
            elif ftype == 2:
                line[x] = (line[x] + b) & 255
            elif ftype == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif ftype == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        yield line
        prev = line


def read_rgba(path):
    """(width, height, rows) of an 8-bit RGB or RGBA PNG, every row as bytes of RGBA pixels."""
    chunks = png_chunks(path)
    width, height, depth, ctype, _comp, _filt, interlace = struct.unpack(">IIBBBBB", dict(chunks)[b"IHDR"])
    if ctype not in (2, 6) or depth != 8 or interlace:
        raise ValueError("only 8-bit RGB or RGBA PNGs are read here")
    rows = []
    for line in png_rows(chunks, width, height, 4 if ctype == 6 else 3):
        if ctype == 2:
            line = bytearray(b for i in range(0, len(line), 3) for b in (line[i], line[i + 1], line[i + 2], 255))
        rows.append(bytes(line))
    return width, height, rows


def read_png(path):
    """(width, height, opaque) of a PNG file; opaque is decided from the colour type and, where the image
    carries alpha, from every pixel's alpha."""
    chunks = png_chunks(path)
    width, height, depth, ctype, _comp, _filt, interlace = struct.unpack(">IIBBBBB", dict(chunks)[b"IHDR"])
    has_trns = any(k == b"tRNS" for k, _ in chunks)
    if ctype in (0, 2, 3) and not has_trns:
        return width, height, True
    if ctype not in (4, 6) or depth != 8 or interlace:
        return width, height, False  # transparency of a kind this check does not decode: not proven opaque
    bpp = 2 if ctype == 4 else 4
    for line in png_rows(chunks, width, height, bpp):
        if any(v != 255 for v in line[bpp - 1::bpp]):
            return width, height, False
    return width, height, True


def read_jpeg_size(path):
    """(width, height) from a JPEG file's frame header."""
    data = open(path, "rb").read()
    if data[:2] != b"\xff\xd8":
        raise ValueError("not a JPEG file")
    pos = 2
    while pos + 4 <= len(data):
        if data[pos] != 0xFF:
            raise ValueError("broken JPEG marker")
        marker = data[pos + 1]
        length = struct.unpack(">H", data[pos + 2:pos + 4])[0]
        if marker in (0xC0, 0xC1, 0xC2):
            height, width = struct.unpack(">HH", data[pos + 5:pos + 9])
            return width, height
        pos += 2 + length
    raise ValueError("no frame header")


# A picture drawn for a display scale sits beside the plain one: name@1.5x / name@2x, PNG or JPEG.
SCALED_NAME = re.compile(r"^(?P<stem>.+)@(?P<scale>1\.5|2)x\.(?P<ext>png|jpg)$", re.IGNORECASE)


def check_scaled(skin, images, faults):
    """Every scaled picture belongs to a used image and is that image's size at its scale, halves rounded
    up as the installer rounds; the backgrounds stay opaque."""
    for name in sorted(os.listdir(skin)):
        m = SCALED_NAME.match(name)
        if not m:
            continue
        plain = m.group("stem") + ".png"
        if plain not in images:
            faults.append("%s: a scaled picture of %s, which the skin does not use" % (name, plain))
            continue
        scale = float(m.group("scale"))
        try:
            if m.group("ext").lower() == "png":
                width, height, opaque = read_png(os.path.join(skin, name))
            else:
                (width, height), opaque = read_jpeg_size(os.path.join(skin, name)), True
        except (OSError, ValueError, zlib.error, struct.error) as e:
            faults.append("%s: cannot be read: %s" % (name, e))
            continue
        plain_w, plain_h, plain_opaque = images[plain]
        want = (int(plain_w * scale + 0.5), int(plain_h * scale + 0.5))
        if (width, height) != want:
            faults.append("%s: %dx%d, expected %dx%d (%s at %sx)" % (name, width, height, want[0], want[1], plain,
                                                                     m.group("scale")))
        if plain_opaque and not opaque:
            faults.append("%s: not opaque, as %s is" % (name, plain))


# ---------------------------------------------------------------------------------------------------------------

def check(skin):
    faults = []
    try:
        elements = parse_markup(open(os.path.join(skin, "skin.xml"), encoding="utf-8").read())
    except (OSError, ValueError) as e:
        return ["skin.xml: %s" % e]
    window = elements[0][1]
    win_w, win_h = (int(x) for x in window.get("size", "0,0").split(","))
    by_name = {a["name"]: a for _t, a, _p in elements if "name" in a}
    theme_h = int(by_name.get("theme", {}).get("height", "0"))

    strings = [(a.get("name", tag), key, value) for tag, a, _p in elements for key, value in a.items()
               if key.endswith("image")]
    strings += [(owner, "set at run time", value) for owner, value in RUNTIME_STRINGS]

    images, extents, bad_sources = {}, {}, set()
    for owner, key, value in strings:
        where = "%s %s \"%s\"" % (owner, key, value)
        items, error = parse_image_string(value)
        if error:
            faults.append("%s: %s" % (where, error))
        name = items.get("file", "")
        path = os.path.join(skin, name)
        if not name or not os.path.isfile(path):
            faults.append("%s: no image %r in the skin folder" % (where, name))
            continue
        if name not in images:
            try:
                images[name] = read_png(path)
            except (OSError, ValueError, zlib.error, struct.error) as e:
                faults.append("%s: %s cannot be read: %s" % (where, name, e))
                continue
        width, height, _opaque = images[name]
        src = rect(items["source"]) if "source" in items else [0, 0, width, height]
        if src is None or not (0 <= src[0] < src[2] <= width and 0 <= src[1] < src[3] <= height):
            faults.append("%s: source %s is not inside the %dx%d image" % (where, items.get("source"), width, height))
            bad_sources.add(name)
            continue
        if "source" in items:
            ext = extents.setdefault(name, [0, 0])
            ext[0], ext[1] = max(ext[0], src[2]), max(ext[1], src[3])
        if "corner" in items:
            c = rect(items["corner"])
            if c is None or min(c) < 0 or c[0] + c[2] >= src[2] - src[0] or c[1] + c[3] >= src[3] - src[1]:
                faults.append("%s: corners %s leave no middle in the source" % (where, items["corner"]))

    for name, (need_w, need_h) in extents.items():
        width, height, _opaque = images[name]
        if name not in bad_sources and (width, height) != (need_w, need_h):
            faults.append("%s: %dx%d, but its states span %dx%d" % (name, width, height, need_w, need_h))

    pictures = {"bk.png": (win_w, win_h), "bk1.png": (win_w, win_h), "bk2.png": (win_w, win_h),
                "0.png": (win_w, theme_h), "1.png": (win_w, theme_h), "2.png": (win_w, theme_h)}
    for name, size in pictures.items():
        if name not in images:
            continue  # already reported as missing
        width, height, opaque = images[name]
        if (width, height) != size:
            faults.append("%s: %dx%d, expected %dx%d" % (name, width, height, size[0], size[1]))
        if not opaque:
            faults.append("%s: not opaque" % name)

    check_scaled(skin, images, faults)
    for name in sorted(os.listdir(skin)):
        if name.lower().endswith((".png", ".jpg")) and name not in images and not SCALED_NAME.match(name):
            faults.append("%s: not used by the skin or the installer" % name)
    return faults


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    faults = check(sys.argv[1])
    for f in faults:
        print(f)
    print("skin check: %d fault(s)" % len(faults))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
