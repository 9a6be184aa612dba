#!/usr/bin/python3
"""Draws the installer's artwork: the 18 skin images (window backgrounds, slideshow pictures, button strips,
option, progress and edit images) at 1x, and again at 1.5x and 2x for larger display scales (name@1.5x,
name@2x: drawn at that size, not enlarged), and the window icon, all procedurally, so the same script always
gives the same pictures.

Usage: make_skin_art.py <skin-folder> [<icon.ico>] [--scales 1.5,2]
    e.g. tools/make_skin_art.py skin app/veltara.ico
--scales picks the larger scales drawn besides 1x (default: 2, what the skin ships).
Needs Debian's python3-pil (run it with /usr/bin/python3) and the WenQuanYi Micro Hei font.
"""
import io
import math
import os
import random
import struct
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

FONT_FILE = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
ACCENT = (0x00, 0x94, 0xE3)       # the skin's bright blue (texts, highlights)
ACCENT_DARK = (0x0C, 0x78, 0xCB)  # the skin's deep blue (separator line, filled buttons)
SS = 4                            # supersampling factor for anti-aliased shapes
W, H = 600, 400
# The scale being drawn: pixels per logical unit (1, 1.5 or 2). Every coordinate and size below is logical
# (the skin's units); the helpers turn them into pixels, so the larger art is drawn, not enlarged.
K = 1.0


def ipx(v):
    """A logical length in whole pixels, halves rounded up (as the installer rounds its own lengths)."""
    return int(v * K + 0.5)


def psize(size):
    return ipx(size[0]), ipx(size[1])


def lsize(img):
    """The logical size of an image drawn at the current scale."""
    return int(img.size[0] / K + 0.5), int(img.size[1] / K + 0.5)


def blur(radius):
    return ImageFilter.GaussianBlur(radius * K)


def offset(img, dx, dy):
    return ImageChops.offset(img, ipx(dx), ipx(dy))


def canvas(mode, size, colour=0):
    """A new image of a logical size."""
    return Image.new(mode, psize(size), colour)


def hires(size):
    """A supersampled mask of a logical size: draw at coordinates times SK, then reduce with .resize(psize(size))."""
    return Image.new("L", (ipx(size[0]) * SS, ipx(size[1]) * SS), 0)


def sk():
    return SS * K


# ---------------------------------------------------------------------------------------------------------------
# Small drawing helpers

def font(size):
    return ImageFont.truetype(FONT_FILE, ipx(size), index=0)


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c1, c2, t):
    return tuple(int(round(lerp(a, b, t))) for a, b in zip(c1, c2))


def ramp(stops, t):
    """Colour at t (0..1) of a list of (position, colour) stops."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / (p1 - p0) if p1 > p0 else 0)
    return stops[-1][1]


def vgrad(w, h, stops, mode="RGB"):
    """Vertical gradient through colour stops; colours may be RGB or RGBA."""
    w, h = psize((w, h))
    col = Image.new(mode, (1, h))
    for y in range(h):
        col.putpixel((0, y), ramp(stops, y / max(1, h - 1)))
    return col.resize((w, h), Image.NEAREST)


def hgrad(w, h, stops, mode="RGB"):
    w, h = psize((w, h))
    row = Image.new(mode, (w, 1))
    for x in range(w):
        row.putpixel((x, 0), ramp(stops, x / max(1, w - 1)))
    return row.resize((w, h), Image.NEAREST)


def rrect_mask(size, box, radius, ss=SS):
    """Anti-aliased mask of a rounded rectangle (box in pixels, may be fractional)."""
    w, h = psize(size)
    m = Image.new("L", (w * ss, h * ss), 0)
    x0, y0, x1, y1 = (v * K for v in box)
    ImageDraw.Draw(m).rounded_rectangle((x0 * ss, y0 * ss, x1 * ss - 1, y1 * ss - 1), radius * K * ss, fill=255)
    return m.resize((w, h), Image.LANCZOS)


def poly_mask(size, points, ss=SS):
    w, h = psize(size)
    m = Image.new("L", (w * ss, h * ss), 0)
    ImageDraw.Draw(m).polygon([(x * K * ss, y * K * ss) for x, y in points], fill=255)
    return m.resize((w, h), Image.LANCZOS)


def ellipse_mask(size, box, ss=SS):
    w, h = psize(size)
    m = Image.new("L", (w * ss, h * ss), 0)
    ImageDraw.Draw(m).ellipse([v * K * ss for v in box], fill=255)
    return m.resize((w, h), Image.LANCZOS)


def scale_mask(mask, opacity):
    return mask.point(lambda v: int(v * opacity + 0.5))


def paint(base, fill, mask):
    """Composites fill (a colour or an image of base's size) onto the RGBA image base through mask."""
    if isinstance(fill, tuple):
        layer = Image.new("RGBA", base.size, fill[:3] + (255,))
        alpha = mask if len(fill) == 3 else scale_mask(mask, fill[3] / 255)
    else:
        layer = fill.convert("RGBA")
        alpha = ImageChops.multiply(mask, layer.getchannel("A"))
    layer.putalpha(alpha)
    base.alpha_composite(layer)


def glow(base, center, radius, colour, opacity, squash=1.0):
    """A soft radial light: strongest in the centre, gone at radius."""
    cx, cy = center[0] * K, center[1] * K
    rx, ry = radius * K, radius * K * squash
    g = Image.radial_gradient("L").resize((int(2 * rx) + 1, int(2 * ry) + 1), Image.BILINEAR)
    g = g.point(lambda v: int(max(0.0, 1 - v / 128) ** 2 * 255 * opacity))
    mask = Image.new("L", base.size, 0)
    mask.paste(g, (int(cx - rx), int(cy - ry)))
    paint(base, colour, mask)


def ridge(rng, width, base_y, rough, steps=7, start=None, end=None):
    """Mountain ridge by midpoint displacement: a list of y values, one per 2**steps segments."""
    n = 2 ** steps
    ys = [0.0] * (n + 1)
    ys[0] = base_y + (start if start is not None else rng.uniform(-rough, rough))
    ys[n] = base_y + (end if end is not None else rng.uniform(-rough, rough))
    step, amp = n, rough
    while step > 1:
        half = step // 2
        for i in range(half, n, step):
            ys[i] = (ys[i - half] + ys[i + half]) / 2 + rng.uniform(-amp, amp)
        step, amp = half, amp * 0.55
    return [(width * i / n, y) for i, y in enumerate(ys)]


def mountains(base, rng, base_y, rough, colours, haze=None, steps=7, peaks=()):
    """A filled mountain layer from its ridge down to the bottom, shaded top to bottom by colours."""
    w, h = lsize(base)
    pts = ridge(rng, w, base_y, rough, steps)
    # Extra peaks: (x, height, half-width) raise the ridge into a sharp summit.
    out = []
    for x, y in pts:
        for px, ph, pw in peaks:
            d = abs(x - px) / pw
            if d < 1:
                y -= ph * (1 - d) ** 1.6
        out.append((x, y))
    top = int(min(y for _x, y in out))
    mask = poly_mask((w, h), out + [(w, h), (0, h)])
    shade = vgrad(w, h, [(0, colours[0]), (max(0.01, top / h), colours[0]), (1, colours[1])], "RGB")
    paint(base, shade, mask)
    if haze:
        # Rim light along the ridge: the mask moved down by a pixel and subtracted.
        rim = ImageChops.subtract(mask, offset(mask, 0, 2))
        paint(base, haze, rim)
    return out


def mist(base, rng, y, thickness, colour, opacity, count=6):
    w, _h = lsize(base)
    layer = Image.new("L", base.size, 0)
    d = ImageDraw.Draw(layer)
    for _ in range(count):
        cx = rng.uniform(-50, w + 50)
        rx = rng.uniform(80, 220)
        ry = thickness * rng.uniform(0.5, 1.0)
        d.ellipse([v * K for v in (cx - rx, y - ry, cx + rx, y + ry)], fill=int(255 * opacity))
    paint(base, colour, layer.filter(blur(thickness * 0.8)))


def stars(base, rng, area, count, colour=(255, 255, 255)):
    x0, y0, x1, y1 = area
    d = ImageDraw.Draw(base)
    for _ in range(count):
        x, y = rng.uniform(x0, x1), rng.uniform(y0, y1)
        fade = 1 - (y - y0) / max(1, y1 - y0) * 0.8
        a = int(rng.uniform(60, 230) * fade)
        r = rng.choice((0.5, 0.5, 0.5, 0.8, 1.1))
        d.ellipse([v * K for v in (x - r, y - r, x + r, y + r)], fill=colour + (a,))
    for _ in range(max(1, count // 40)):
        x, y = rng.uniform(x0, x1), rng.uniform(y0, (y0 + y1) / 2)
        glow(base, (x, y), 7, colour, 0.55)
        d.line([v * K for v in (x - 5, y, x + 5, y)], fill=colour + (120,), width=ipx(1))
        d.line([v * K for v in (x, y - 5, x, y + 5)], fill=colour + (120,), width=ipx(1))


def island(base, rng, cx, top, half_w, depth, rock, grass, light, spires=0):
    """A floating island: a flat top with a jagged rock cone below, optional towers on top."""
    pts = [(cx - half_w, top)]
    n = 14
    for i in range(1, n):
        t = i / n
        x = cx - half_w + 2 * half_w * t
        taper = 1 - abs(2 * t - 1) ** 1.5
        pts.append((x + rng.uniform(-3, 3), top + depth * taper * rng.uniform(0.55, 1.0) + 4))
    pts.append((cx + half_w, top))
    w, h = lsize(base)
    body = poly_mask((w, h), pts)
    paint(base, vgrad(w, h, [(0, rock[0]), (min(0.99, (top + depth) / h), rock[1]), (1, rock[1])]), body)
    cap = rrect_mask((w, h), (cx - half_w - 2, top - 4, cx + half_w + 2, top + 5), 4)
    paint(base, grass, cap)
    paint(base, light, rrect_mask((w, h), (cx - half_w + 4, top - 4, cx + half_w - 4, top - 2), 1))
    d = ImageDraw.Draw(base)
    for i in range(spires):
        sx = cx - half_w * 0.5 + i * half_w * 0.45 + rng.uniform(-4, 4)
        sh = rng.uniform(16, 30)
        sw = rng.uniform(4, 7)
        tower = [(sx - sw, top - 2), (sx - sw, top - sh), (sx, top - sh - sw * 2.2), (sx + sw, top - sh),
                 (sx + sw, top - 2)]
        paint(base, rock[0], poly_mask((w, h), tower))
        d.rectangle([v * K for v in (sx - 1, top - sh + 4, sx, top - sh + 6)], fill=(255, 214, 140, 220))
    # A thin fall of water from the island's tip, fading out as it drops.
    fall = rrect_mask((w, h), (cx - 1.5, top + depth * 0.6, cx + 1.5, top + depth + 36), 1)
    fade = vgrad(w, h, [(0, (0,)), (max(0.0, (top + depth * 0.6) / h), (90,)),
                        (min(1.0, (top + depth + 36) / h), (0,)), (1, (0,))], "L")
    paint(base, light[:3], ImageChops.multiply(fall, fade))


def text_size(f, s, stroke=0):
    """The logical size of the ink of s in the (scaled) font f, and its offset from the drawing origin."""
    l, t, r, b = f.getbbox(s, stroke_width=ipx(stroke))
    return (r - l) / K, (b - t) / K, l / K, t / K


def draw_text(base, xy, s, f, colour, shadow=None, stroke=0, anchor_center=False, shadow_blur=2, offset=(0, 1)):
    """Text with an optional blurred shadow; xy is the top-left of the ink, or its centre."""
    tw, th, ox, oy = text_size(f, s, stroke)
    x, y = xy
    if anchor_center:
        x, y = x - tw / 2, y - th / 2
    pos = ((x - ox) * K, (y - oy) * K)
    stroke = ipx(stroke)
    if shadow:
        layer = Image.new("RGBA", base.size, (0, 0, 0, 0))
        ImageDraw.Draw(layer).text((pos[0] + offset[0] * K, pos[1] + offset[1] * K), s, font=f, fill=shadow,
                                   stroke_width=stroke, stroke_fill=shadow)
        base.alpha_composite(layer.filter(blur(shadow_blur)))
    ImageDraw.Draw(base).text(pos, s, font=f, fill=colour, stroke_width=stroke, stroke_fill=colour)


def strip(cells, horizontal=True):
    """Cells of one logical size side by side (or stacked); cell i starts at the pixel its logical offset
    scales to, as the installer finds it from a source rectangle."""
    w, h = lsize(cells[0])
    n = len(cells)
    out = canvas("RGBA", (w * n, h) if horizontal else (w, h * n), (0, 0, 0, 0))
    for i, c in enumerate(cells):
        out.paste(c, (ipx(i * w), 0) if horizontal else (0, ipx(i * h)))
    return out


# ---------------------------------------------------------------------------------------------------------------
# Backgrounds and slideshow

NIGHT_SKY = [(0, (5, 10, 26)), (0.35, (10, 30, 66)), (0.62, (18, 72, 120)), (0.75, (40, 120, 170)), (1, (40, 120, 170))]


def title_bar(img):
    """Darkens the top so the window buttons stay visible, and draws the small emblem and title."""
    w, _h = lsize(img)
    img.alpha_composite(vgrad(w, 60, [(0, (2, 6, 16, 170)), (1, (2, 6, 16, 0))], "RGBA"))
    emblem = make_emblem(ipx(22))
    img.alpha_composite(emblem, (ipx(14), ipx(11)))
    draw_text(img, (43, 15), "Veltara 安装程序", font(13), (225, 238, 250, 255), shadow=(0, 0, 0, 160))


def landscape(seed, sky, glow_at, layers, mist_colour, star_count=160, size=(W, H)):
    """A night or dusk landscape: sky, stars, a light source, hazy mountain layers and mist between them."""
    rng = random.Random(seed)
    w, h = size
    img = vgrad(w, h, sky).convert("RGBA")
    # Faint nebulae: large soft clouds of the light's colour and a violet, behind the stars.
    nebula = glow_at[2] if glow_at else (120, 180, 235)
    for colour in (nebula, (120, 80, 200), nebula):
        glow(img, (rng.uniform(0, w), rng.uniform(h * 0.05, h * 0.35)), rng.uniform(110, 190), colour, 0.12,
             squash=rng.uniform(0.35, 0.6))
    stars(img, rng, (0, 0, w, h * 0.55), star_count)
    if glow_at:
        (gx, gy), r, colour = glow_at
        glow(img, (gx, gy), r * 5, colour, 0.35)
        glow(img, (gx, gy), r * 2, colour, 0.45)
        paint(img, mix(colour, (255, 255, 255), 0.55), ellipse_mask((w, h), (gx - r, gy - r, gx + r, gy + r)))
    for i, (base_y, rough, colours, rim, peaks) in enumerate(layers):
        ridge_pts = mountains(img, rng, base_y, rough, colours, haze=rim, peaks=peaks)
        if i >= len(layers) - 2 and len(layers) > 2:
            forest(img, rng, ridge_pts, colours[0], size=7 + 4 * (i - len(layers) + 2))
        if i < len(layers) - 1:
            mist(img, rng, base_y + rough * 0.6, 16, mist_colour, 0.35)
    return img


def forest(base, rng, ridge_pts, colour, size):
    """Clumps of pine silhouettes standing on a ridge, in the ridge's own colour."""
    w, _h = lsize(base)
    m = hires(lsize(base))
    d = ImageDraw.Draw(m)
    SS = sk()
    n = len(ridge_pts) - 1
    x = rng.uniform(0, 40)
    while x < w:
        if rng.random() < 0.55:
            i = min(n - 1, int(x / w * n))
            (x0, y0), (x1, y1) = ridge_pts[i], ridge_pts[i + 1]
            y = y0 + (y1 - y0) * ((x - x0) / max(1e-6, x1 - x0)) + 2
            th = size * rng.uniform(0.7, 1.5)
            tw = th * 0.32
            for k in range(3):  # three tiers of branches
                ty = y - th * k * 0.3
                d.polygon([((x - tw * (1 - k * 0.25)) * SS, ty * SS), (x * SS, (ty - th * 0.55) * SS),
                           ((x + tw * (1 - k * 0.25)) * SS, ty * SS)], fill=255)
            x += tw * rng.uniform(1.2, 2.2)
        else:
            x += rng.uniform(10, 45)
    paint(base, colour, m.resize(base.size, Image.LANCZOS))


def make_bk():
    """Welcome page: a moonlit valley with floating islands; the product's wordmark on the left."""
    img = make_bk_scene_only()
    rng = random.Random(12)
    island(img, rng, 392, 150, 34, 40, ((28, 54, 84), (12, 22, 40)), (46, 110, 120), (150, 230, 220, 160), 2)
    island(img, rng, 160, 58, 16, 20, ((24, 46, 74), (12, 22, 40)), (40, 96, 110), (150, 230, 220, 140), 0)
    island(img, rng, 250, 96, 14, 18, ((30, 56, 88), (14, 26, 44)), (44, 104, 118), (150, 230, 220, 140), 1)
    # A soft pool of light behind the install button.
    glow(img, (437, 226), 150, ACCENT, 0.22, squash=0.45)
    # Wordmark with a glow and a subtitle.
    f = font(52)
    layer = Image.new("RGBA", img.size, (0, 0, 0, 0))
    draw_text(layer, (40, 124), "VELTARA", f, ACCENT + (255,), stroke=2)
    img.alpha_composite(layer.filter(blur(8)))
    # The letters are filled with a mid-blue gradient, not white, so that the agreement page's white text,
    # which lies over this background, stays readable across them.
    letters = Image.new("RGBA", img.size, (0, 0, 0, 0))
    draw_text(letters, (40, 124), "VELTARA", f, (255, 255, 255, 255), shadow=(0, 20, 60, 220), stroke=1)
    ink = Image.new("L", img.size, 0)
    draw_text(ink, (40, 124), "VELTARA", f, 255, stroke=1)
    img.alpha_composite(letters)
    paint(img, vgrad(W, H, [(0, (70, 170, 236)), (124 / H, (70, 170, 236)), (170 / H, (12, 104, 186)),
                            (1, (12, 104, 186))]), ink)
    paint(img, (200, 236, 255), ImageChops.subtract(ink, offset(ink, 0, 2)))
    wm_w = text_size(f, "VELTARA", 1)[0]
    paint(img, hgrad(W, H, [(0, ACCENT + (0,)), (40 / W, ACCENT + (255,)), ((40 + wm_w) / W, (120, 210, 255, 0)),
                            (1, (0, 0, 0, 0))], "RGBA"), rrect_mask((W, H), (40, 186, 40 + wm_w, 188), 1))
    draw_text(img, (42, 198), "踏上浮空大陆的冒险之旅", font(16), (150, 196, 232, 255), shadow=(0, 0, 0, 200))
    # The bottom band under the option row and the install-path panel stays dark and calm.
    img.alpha_composite(vgrad(W, H, [(0, (4, 10, 22, 0)), (0.66, (4, 10, 22, 0)), (0.8, (4, 10, 22, 150)),
                                     (1, (4, 10, 22, 225))], "RGBA"))
    title_bar(img)
    return img.convert("RGB")


def make_bk1():
    """Progress page: the welcome scene, dimmed and blurred, above a light panel for the progress texts."""
    scene = make_bk_scene_only()
    img = scene.filter(blur(3)).convert("RGBA")
    img.alpha_composite(Image.new("RGBA", img.size, (4, 12, 28, 90)))
    top = 283
    panel = vgrad(W, H - top, [(0, (250, 252, 255)), (1, (226, 236, 246))]).convert("RGBA")
    # A faint mountain watermark in the panel, too weak to disturb the texts.
    rng = random.Random(21)
    wm = Image.new("RGBA", panel.size, (0, 0, 0, 0))
    mountains(wm, rng, 96, 14, ((228, 238, 248), (236, 243, 250)), peaks=((470, 44, 80), (560, 20, 50)))
    panel.alpha_composite(wm)
    img.paste(panel, (0, ipx(top)))
    paint(img, hgrad(W, H, [(0, ACCENT_DARK), (0.5, ACCENT), (1, ACCENT_DARK)]),
          rrect_mask((W, H), (0, top, W, top + 2), 0))
    glow(img, (300, top), 260, ACCENT, 0.18, squash=0.08)
    title_bar(img)
    return img.convert("RGB")


_SCENE = {}


def make_bk_scene_only():
    if K not in _SCENE:
        _SCENE[K] = landscape(
            11, NIGHT_SKY, ((480, 74), 20, (120, 180, 235)),
            [(236, 34, ((40, 86, 134), (30, 64, 104)), (130, 200, 245, 110), ((120, 64, 60), (300, 36, 46))),
             (272, 26, ((22, 52, 88), (16, 38, 66)), (90, 160, 220, 90), ((520, 58, 80), (40, 30, 50))),
             (314, 18, ((10, 26, 48), (7, 17, 32)), (60, 130, 200, 70), ((260, 22, 60),)),
             (352, 10, ((6, 14, 28), (4, 9, 19)), None, ())],
            (150, 200, 240))
    return _SCENE[K].copy()


def make_bk2():
    """Finish page: the valley at dawn with the completion message above the two buttons."""
    sky = [(0, (14, 18, 52)), (0.3, (44, 44, 104)), (0.55, (150, 84, 130)), (0.72, (246, 160, 120)),
           (1, (246, 160, 120))]
    img = landscape(
        31, sky, ((300, 262), 34, (255, 214, 160)),
        [(236, 24, ((92, 70, 120), (70, 52, 100)), (255, 200, 170, 110), ((120, 36, 60), (470, 30, 60))),
         (272, 18, ((50, 40, 84), (38, 30, 66)), (255, 180, 150, 90), ()),
         (318, 12, ((22, 20, 46), (14, 12, 30)), (230, 150, 140, 60), ()),
         (352, 8, ((10, 10, 24), (6, 6, 16)), None, ())],
        (255, 210, 200), star_count=70)
    rng = random.Random(32)
    island(img, rng, 90, 120, 26, 32, ((70, 56, 96), (30, 24, 50)), (96, 120, 110), (255, 220, 180, 170), 1)
    island(img, rng, 520, 150, 30, 34, ((66, 52, 92), (28, 22, 46)), (90, 116, 108), (255, 220, 180, 170), 2)
    # Darken the bottom for the buttons.
    img.alpha_composite(vgrad(W, H, [(0, (6, 6, 18, 0)), (0.62, (6, 6, 18, 0)), (0.86, (6, 6, 18, 150)),
                                     (1, (6, 6, 18, 210))], "RGBA"))
    # Completion message, centred over the two buttons (they span 100..486).
    cx = 293
    layer = Image.new("RGBA", img.size, (0, 0, 0, 0))
    draw_text(layer, (cx, 142), "安装完成", font(40), ACCENT + (255,), stroke=2, anchor_center=True)
    img.alpha_composite(layer.filter(blur(9)))
    draw_text(img, (cx, 142), "安装完成", font(40), (255, 255, 255, 255), shadow=(10, 10, 40, 220), stroke=1,
              anchor_center=True, shadow_blur=3, offset=(0, 2))
    draw_text(img, (cx, 190), "一切就绪，开启你的 Veltara 之旅", font(16), (255, 240, 232, 255),
              shadow=(20, 10, 30, 230), anchor_center=True)
    # A check mark medallion above the title.
    medal = Image.new("RGBA", img.size, (0, 0, 0, 0))
    glow(medal, (cx, 88), 34, ACCENT, 0.55)
    paint(medal, vgrad(W, H, [(0, (40, 180, 250)), (0.25, ACCENT_DARK), (1, ACCENT_DARK)]),
          ellipse_mask((W, H), (cx - 17, 71, cx + 17, 105)))
    check = hires((W, H))
    ImageDraw.Draw(check).line([(v * sk()) for v in (cx - 8, 88, cx - 2, 95, cx + 9, 81)], fill=255,
                               width=int(4 * sk()), joint="curve")
    paint(medal, (255, 255, 255), check.resize(img.size, Image.LANCZOS))
    img.alpha_composite(medal)
    title_bar(img)
    return img.convert("RGB")


def make_slide(n):
    """The three 600x240 slideshow pictures of the progress page, each with a caption."""
    size = (W, 240)
    if n == 0:
        sky = [(0, (8, 18, 48)), (0.55, (30, 80, 140)), (0.85, (110, 170, 210)), (1, (150, 200, 230))]
        img = landscape(41, sky, ((110, 60), 18, (200, 230, 255)),
                        [(196, 14, ((60, 110, 160), (50, 90, 140)), (180, 220, 250, 110), ()),
                         (222, 8, ((30, 64, 104), (20, 44, 80)), (150, 200, 240, 90), ())],
                        (220, 235, 250), star_count=90, size=size)
        rng = random.Random(42)
        mist(img, rng, 190, 22, (235, 244, 252), 0.6, count=10)
        island(img, rng, 330, 92, 58, 62, ((52, 84, 120), (20, 34, 58)), (60, 140, 120), (190, 250, 230, 170), 3)
        island(img, rng, 490, 128, 30, 34, ((46, 76, 110), (20, 34, 58)), (56, 130, 116), (190, 250, 230, 150), 1)
        island(img, rng, 190, 140, 20, 24, ((46, 76, 110), (20, 34, 58)), (56, 130, 116), (190, 250, 230, 150), 0)
        caption = ("浮空群岛", "云海之上，古老的城塞静候归人")
    elif n == 1:
        sky = [(0, (4, 14, 30)), (0.6, (10, 46, 70)), (1, (30, 90, 110))]
        img = vgrad(*size, sky).convert("RGBA")
        rng = random.Random(51)
        stars(img, rng, (0, 0, W, 140), 110)
        # Aurora: a few wavy, blurred ribbons.
        ribbons = canvas("RGBA", size, (0, 0, 0, 0))
        d = ImageDraw.Draw(ribbons)
        for k, (colour, base_y, amp) in enumerate((((60, 240, 170), 70, 18), ((80, 200, 255), 52, 14),
                                                    ((150, 120, 255), 92, 12))):
            for x in range(0, W, 2):
                y = base_y + amp * math.sin(x / 70 + k * 1.7) + 6 * math.sin(x / 23 + k)
                d.line([v * K for v in (x, y - 40, x, y)], fill=colour + (int(70 + 45 * math.sin(x / 40 + k)),),
                       width=ipx(2))
        img.alpha_composite(ribbons.filter(blur(6)))
        mountains(img, rng, 170, 30, ((200, 225, 240), (120, 160, 190)), haze=(255, 255, 255, 150),
                  peaks=((250, 64, 90), (90, 34, 70)))
        mist(img, rng, 190, 14, (200, 230, 240), 0.4)
        mountains(img, rng, 205, 12, ((22, 48, 66), (10, 24, 36)), haze=(120, 200, 220, 90))
        # A fortress on the near ridge with lit windows.
        fort = canvas("RGBA", size, (0, 0, 0, 0))
        fd = ImageDraw.Draw(fort)
        for x, tw, th in ((444, 14, 60), (464, 22, 40), (490, 12, 74), (506, 26, 36), (536, 14, 52)):
            fd.rectangle([v * K for v in (x, 200 - th, x + tw, 215)], fill=(12, 26, 40, 255))
            fd.polygon([(x * K - 2 * K, (200 - th) * K), ((x + tw / 2) * K, (200 - th - tw * 0.9) * K),
                        ((x + tw + 2) * K, (200 - th) * K)], fill=(12, 26, 40, 255))
            for wy in range(206 - th, 196, 10):
                fd.rectangle([v * K for v in (x + tw / 2 - 1, wy, x + tw / 2 + 1, wy + 3)], fill=(255, 210, 130, 230))
        img.alpha_composite(fort)
        glow(img, (500, 170), 70, (255, 200, 120), 0.2)
        caption = ("极光雪域", "守望者要塞的灯火从未熄灭")
    else:
        sky = [(0, (12, 6, 30)), (0.5, (52, 22, 88)), (0.9, (140, 60, 140)), (1, (170, 80, 150))]
        img = landscape(61, sky, ((470, 62), 22, (255, 190, 240)),
                        [(170, 22, ((70, 36, 110), (50, 26, 86)), (230, 160, 255, 110), ((90, 30, 50),)),
                         (208, 12, ((26, 14, 48), (16, 8, 30)), (200, 120, 240, 80), ())],
                        (220, 170, 240), star_count=120, size=size)
        rng = random.Random(62)
        glow(img, (410, 40), 40, (160, 220, 255), 0.5)
        paint(img, (200, 235, 255), ellipse_mask(size, (402, 32, 418, 48)))
        # Crystal spires growing from the ground, lit from inside.
        for i in range(8):
            cx = 372 + i * 30 + rng.uniform(-8, 8)
            hgt = rng.uniform(50, 120) * (1 - abs(i - 3.5) / 7)
            wid = rng.uniform(8, 16)
            base_y = 232
            lean = rng.uniform(-10, 10)
            pts = [(cx - wid, base_y), (cx - wid * 0.7 + lean * 0.6, base_y - hgt * 0.8),
                   (cx + lean, base_y - hgt), (cx + wid * 0.7 + lean * 0.6, base_y - hgt * 0.8), (cx + wid, base_y)]
            glow(img, (cx + lean * 0.5, base_y - hgt * 0.5), hgt * 0.9, (120, 220, 255), 0.18)
            paint(img, hgrad(W, 240, [(0, (60, 140, 220)), (max(0, (cx - wid) / W), (60, 140, 220)),
                                      (min(1, cx / W), (170, 240, 255)), (min(1, (cx + wid) / W), (40, 90, 180)),
                                      (1, (40, 90, 180))]).convert("RGBA"), poly_mask(size, pts))
            paint(img, (255, 255, 255, 140), poly_mask(size, [(cx + lean, base_y - hgt),
                                                               (cx + lean * 0.2 + 1.5, base_y - 4),
                                                               (cx + lean * 0.2 - 1.5, base_y - 4)]))
        caption = ("晶石秘境", "双月之夜，水晶林在低语中苏醒")
    # Caption on a soft dark fade at the bottom left.
    img.alpha_composite(vgrad(W, 240, [(0, (0, 0, 0, 0)), (0.55, (0, 0, 0, 0)), (1, (0, 8, 20, 170))], "RGBA"))
    draw_text(img, (30, 180), caption[0], font(22), (255, 255, 255, 255), shadow=(0, 0, 0, 220), stroke=1)
    tw = text_size(font(22), caption[0], 1)[0]
    paint(img, ACCENT, rrect_mask(size, (30 + tw + 12, 186, 30 + tw + 15, 203), 1))
    draw_text(img, (30 + tw + 24, 187), caption[1], font(14), (222, 236, 248, 255), shadow=(0, 0, 0, 220))
    return img.convert("RGB")


# ---------------------------------------------------------------------------------------------------------------
# Buttons and small images

def chevron_mask(size, cx, cy, half, up, width=2.0):
    m = hires(size)
    dy = half * 0.55 * (-1 if up else 1)
    pts = [(cx - half, cy - dy), (cx, cy + dy), (cx + half, cy - dy)]
    ImageDraw.Draw(m).line([(x * sk(), y * sk()) for x, y in pts], fill=255, width=int(width * sk()), joint="curve")
    return m.resize(psize(size), Image.LANCZOS)


def pill_button(size, label, state, style, font_size, icon=None):
    """A large rounded button. style "solid": filled blue; "ghost": dark glass with a blue rim.
    state 0 normal, 1 hot (brighter, glowing), 2 pushed (darker, pressed down by a pixel)."""
    w, h = size
    img = canvas("RGBA", size, (0, 0, 0, 0))
    mx, top, bottom = 8, 6, 12
    press = 2 if state == 2 else 0
    box = (mx, top + press, w - mx, h - bottom + press)
    bh = box[3] - box[1]
    r = bh / 2 if style == "solid" else 8
    shape = rrect_mask(size, box, r)
    # Drop shadow, and for the hot state an outer blue glow.
    shadow = shape.filter(blur(4 if state != 2 else 2))
    paint(img, (0, 8, 24, 150 if state != 2 else 110), offset(shadow, 0, 3 - press))
    if state == 1:
        paint(img, ACCENT + (210,), shape.filter(blur(6)))
    if style == "solid":
        stops = {0: [(0, (40, 176, 246)), (0.5, (0, 148, 227)), (1, (12, 120, 203))],
                 1: [(0, (96, 206, 255)), (0.5, (28, 172, 244)), (1, (8, 136, 220))],
                 2: [(0, (10, 110, 186)), (0.5, (12, 104, 176)), (1, (8, 90, 160))]}[state]
        fill = vgrad(w, h, [(0, stops[0][1]), (box[1] / h, stops[0][1]), ((box[1] + bh * 0.5) / h, stops[1][1]),
                            (box[3] / h, stops[2][1]), (1, stops[2][1])])
        paint(img, fill, shape)
        # Glossy upper half and a thin bright rim at the top.
        gloss = rrect_mask(size, (box[0] + 3, box[1] + 2, box[2] - 3, box[1] + bh * 0.5), r - 3)
        gloss = ImageChops.multiply(gloss.filter(blur(1.2)), shape)
        paint(img, (255, 255, 255, 60 if state != 2 else 20), gloss)
        rim = ImageChops.subtract(shape, offset(shape, 0, 1))
        paint(img, (255, 255, 255, 170 if state != 2 else 60), rim)
        text_colour = (255, 255, 255, 255)
    else:
        base_col = {0: (10, 24, 44, 200), 1: (14, 60, 104, 225), 2: (6, 18, 34, 235)}[state]
        paint(img, base_col, shape)
        inner = rrect_mask(size, (box[0] + 1.5, box[1] + 1.5, box[2] - 1.5, box[3] - 1.5), r - 1.5)
        border = ImageChops.subtract(shape, inner)
        paint(img, (ACCENT if state != 2 else ACCENT_DARK) + (255,), border)
        sheen = vgrad(w, h, [(0, (255, 255, 255, 0)), (box[1] / h, (255, 255, 255, 40 if state != 2 else 10)),
                             ((box[1] + bh * 0.6) / h, (255, 255, 255, 0)), (1, (255, 255, 255, 0))], "RGBA")
        paint(img, sheen, inner)
        text_colour = (255, 255, 255, 255) if state != 2 else (200, 224, 244, 255)
    f = font(font_size)
    tw, th, _ox, _oy = text_size(f, label, 1)
    icon_w = (th + 10) if icon else 0
    tx = (w - tw - icon_w) / 2 + icon_w
    ty = box[1] + (bh - th) / 2
    draw_text(img, (tx, ty), label, f, text_colour, shadow=(0, 20, 60, 150), stroke=1)
    if icon == "download":
        ix, iy, s = tx - icon_w + th / 2, ty + th / 2, th * 0.5
        m = hires(size)
        d = ImageDraw.Draw(m)
        SS = sk()
        lw = int(max(2, th / 9) * SS)
        d.line([(ix * SS, (iy - s) * SS), (ix * SS, (iy + s * 0.45) * SS)], fill=255, width=lw)
        d.line([((ix - s * 0.6) * SS, (iy - s * 0.1) * SS), (ix * SS, (iy + s * 0.5) * SS),
                ((ix + s * 0.6) * SS, (iy - s * 0.1) * SS)], fill=255, width=lw, joint="curve")
        d.line([((ix - s) * SS, (iy + s) * SS), ((ix + s) * SS, (iy + s) * SS)], fill=255, width=lw)
        paint(img, text_colour, m.resize(psize(size), Image.LANCZOS))
    elif icon == "play":
        ix, iy, s = tx - icon_w + th / 2, ty + th / 2, th * 0.48
        paint(img, text_colour, poly_mask(size, [(ix - s * 0.7, iy - s), (ix + s, iy), (ix - s * 0.7, iy + s)]))
    return img


def make_custom(arrow_up):
    """The custom-install toggle: three 130x30 states stacked, arrow down (closed) or up (open)."""
    cells = []
    for state in range(3):
        size = (130, 30)
        img = canvas("RGBA", size, (0, 0, 0, 0))
        press = 1 if state == 2 else 0
        box = (2, 3 + press, 128, 27 + press)
        shape = rrect_mask(size, box, 12)
        fill = {0: (8, 22, 42, 190), 1: ACCENT_DARK + (255,), 2: (8, 92, 160, 255)}[state]
        paint(img, fill, shape)
        inner = rrect_mask(size, (box[0] + 1, box[1] + 1, box[2] - 1, box[3] - 1), 11)
        paint(img, (ACCENT if state == 0 else (96, 200, 255) if state == 1 else ACCENT_DARK) + (255,),
              ImageChops.subtract(shape, inner))
        if state == 1:
            paint(img, (255, 255, 255, 40), rrect_mask(size, (box[0] + 2, box[1] + 2, box[2] - 2, 15), 10))
        f = font(13)
        colour = (255, 255, 255, 255) if state != 2 else (214, 234, 250, 255)
        draw_text(img, (22, 9 + press), "自定义安装", f, colour, stroke=0)
        tw = text_size(f, "自定义安装")[0]
        paint(img, colour, chevron_mask(size, 22 + tw + 16, 15 + press, 5, arrow_up))
        cells.append(img)
    return strip(cells, horizontal=False)


def make_default_button():
    """The small light button behind "更  改" and "返回" (black text): 96x24 states stacked."""
    cells = []
    for state in range(3):
        size = (96, 24)
        img = canvas("RGBA", size, (0, 0, 0, 0))
        shape = rrect_mask(size, (0.5, 0.5, 95.5, 23.5), 4)
        stops = {0: [(0, (255, 255, 255)), (1, (226, 236, 246))],
                 1: [(0, (240, 249, 255)), (1, (198, 230, 252))],
                 2: [(0, (184, 218, 244)), (1, (206, 230, 250))]}[state]
        paint(img, vgrad(96, 24, stops), shape)
        inner = rrect_mask(size, (1.5, 1.5, 94.5, 22.5), 3)
        edge = {0: (120, 160, 200), 1: ACCENT, 2: ACCENT_DARK}[state]
        paint(img, edge, ImageChops.subtract(shape, inner))
        if state == 2:
            paint(img, (0, 40, 90, 40), ImageChops.subtract(inner, offset(inner, 0, 2)))
        cells.append(img)
    return strip(cells, horizontal=False)


def make_system_button(kind):
    """Minimise or close: 32x22 states side by side, a white glyph; hot and pushed get a backdrop."""
    cells = []
    for state in range(3):
        size = (32, 22)
        img = canvas("RGBA", size, (0, 0, 0, 0))
        if state:
            if kind == "close":
                colour = (232, 17, 35, 255) if state == 1 else (160, 12, 26, 255)
            else:
                colour = (255, 255, 255, 46) if state == 1 else ACCENT_DARK + (255,)
            paint(img, colour, rrect_mask(size, (0, 0, 32, 22), 3))
        m = hires(size)
        d = ImageDraw.Draw(m)
        SS = sk()
        if kind == "close":
            for a, b in (((11, 6), (21, 16)), ((21, 6), (11, 16))):
                d.line([(a[0] * SS, a[1] * SS), (b[0] * SS, b[1] * SS)], fill=255, width=int(1.6 * SS))
        else:
            d.line([(11 * SS, 11.5 * SS), (21 * SS, 11.5 * SS)], fill=255, width=int(1.6 * SS))
        paint(img, (255, 255, 255, 255 if state else 225), m.resize(psize(size), Image.LANCZOS))
        cells.append(img)
    return strip(cells)


def make_option():
    """The agreement check box: unchecked and checked, 21x21 each, side by side."""
    size = (21, 21)
    cells = []
    for checked in (False, True):
        img = canvas("RGBA", size, (0, 0, 0, 0))
        shape = rrect_mask(size, (2, 2, 19, 19), 3)
        inner = rrect_mask(size, (3.5, 3.5, 17.5, 17.5), 2)
        if checked:
            paint(img, vgrad(21, 21, [(0, (40, 176, 246)), (1, ACCENT_DARK)]), shape)
            m = hires(size)
            ImageDraw.Draw(m).line([(v * sk()) for v in (6, 10.5, 9.2, 13.8, 15, 7)], fill=255,
                                   width=int(2 * sk()), joint="curve")
            paint(img, (255, 255, 255), m.resize(psize(size), Image.LANCZOS))
        else:
            paint(img, (8, 22, 42, 170), shape)
            paint(img, ACCENT, ImageChops.subtract(shape, inner))
        cells.append(img)
    return strip(cells)


def make_progress():
    """Progress track (left 50x24), fill (middle 50x24) and the grey fill of stopped work (right 50x24);
    7-pixel rounded ends stay unscaled."""
    size = (50, 24)
    track = canvas("RGBA", size, (0, 0, 0, 0))
    shape = rrect_mask(size, (0, 0, 50, 24), 7)
    paint(track, vgrad(50, 24, [(0, (206, 218, 230)), (1, (232, 240, 248))]), shape)
    inner = rrect_mask(size, (1, 1, 49, 23), 6)
    paint(track, (170, 190, 210), ImageChops.subtract(shape, inner))
    paint(track, (0, 30, 70, 40), ImageChops.subtract(inner, offset(inner, 0, 2)))
    fill = canvas("RGBA", size, (0, 0, 0, 0))
    paint(fill, vgrad(50, 24, [(0, (90, 204, 255)), (0.45, ACCENT), (1, ACCENT_DARK)]), shape)
    paint(fill, (255, 255, 255, 70), rrect_mask(size, (3, 2, 47, 10), 4))
    paint(fill, (6, 90, 160), ImageChops.subtract(shape, inner))
    stopped = canvas("RGBA", size, (0, 0, 0, 0))
    paint(stopped, vgrad(50, 24, [(0, (196, 202, 210)), (0.45, (160, 168, 178)), (1, (132, 140, 152))]), shape)
    paint(stopped, (255, 255, 255, 60), rrect_mask(size, (3, 2, 47, 10), 4))
    paint(stopped, (112, 120, 132), ImageChops.subtract(shape, inner))
    return strip([track, fill, stopped])


def make_retry_button():
    """The retry button of the progress page: 90x30 states stacked, a filled blue pill with a circular
    arrow on its left; the control draws its text ("重试") to the right of the arrow."""
    cells = []
    for state in range(3):
        size = (90, 30)
        img = canvas("RGBA", size, (0, 0, 0, 0))
        press = 1 if state == 2 else 0
        box = (1, 2 + press, 89, 28 + press)
        shape = rrect_mask(size, box, 13)
        shadow = shape.filter(blur(1.5))
        paint(img, (0, 30, 70, 70 if state != 2 else 40), offset(shadow, 0, 1))
        stops = {0: [(0, (40, 176, 246)), (1, ACCENT_DARK)],
                 1: [(0, (96, 206, 255)), (1, (8, 136, 220))],
                 2: [(0, (10, 110, 186)), (1, (8, 90, 160))]}[state]
        paint(img, vgrad(90, 30, stops), shape)
        gloss = rrect_mask(size, (box[0] + 3, box[1] + 1, box[2] - 3, box[1] + 12), 10)
        paint(img, (255, 255, 255, 50 if state != 2 else 18), ImageChops.multiply(gloss, shape))
        inner = rrect_mask(size, (box[0] + 1, box[1] + 1, box[2] - 1, box[3] - 1), 12)
        paint(img, (8, 84, 150, 255), ImageChops.subtract(shape, inner))
        # A circular arrow: three quarters of a ring and an arrow head at its open end.
        colour = (255, 255, 255, 255) if state != 2 else (214, 234, 250, 255)
        cx, cy, r = 20, 15 + press, 6
        m = hires(size)
        d = ImageDraw.Draw(m)
        SS = sk()
        d.arc([((cx - r) * SS, (cy - r) * SS), ((cx + r) * SS, (cy + r) * SS)], 300, 210, fill=255,
              width=int(1.8 * SS))
        ax, ay = cx + r * math.cos(math.radians(300)), cy + r * math.sin(math.radians(300))
        d.polygon([((ax - 3.6) * SS, (ay - 2.2) * SS), ((ax + 2.4) * SS, (ay - 3.4) * SS),
                   ((ax + 0.6) * SS, (ay + 2.6) * SS)], fill=255)
        paint(img, colour, m.resize(psize(size), Image.LANCZOS))
        cells.append(img)
    return strip(cells, horizontal=False)


def make_edit():
    """The path field's background, drawn at the field's own size (349x25) so nothing is stretched."""
    size = (349, 25)
    img = canvas("RGBA", size, (0, 0, 0, 0))
    shape = rrect_mask(size, (0, 0, 349, 25), 3)
    paint(img, (255, 255, 255), shape)
    inner = rrect_mask(size, (1, 1, 348, 24), 2)
    paint(img, (110, 160, 205), ImageChops.subtract(shape, inner))
    paint(img, (0, 30, 70, 30), ImageChops.subtract(inner, offset(inner, 0, 2)))
    return img


# ---------------------------------------------------------------------------------------------------------------
# Icon

def make_emblem(size):
    """The product emblem (size in pixels): a rounded blue tile with a white "V" chevron and a small star
    above it, drawn large at one pixel per unit and reduced."""
    global K
    saved, K = K, 1.0
    try:
        return _emblem(size)
    finally:
        K = saved


def _emblem(size):
    big = 256
    img = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    tile = rrect_mask((big, big), (8, 8, 248, 248), 54, ss=2)
    paint(img, vgrad(big, big, [(0, (56, 190, 255)), (0.45, ACCENT), (1, (8, 70, 150))]), tile)
    paint(img, (255, 255, 255, 50), rrect_mask((big, big), (20, 16, 236, 118), 44, ss=2))
    paint(img, (255, 255, 255, 110), ImageChops.subtract(tile, ImageChops.offset(tile, 0, 4)))
    m = Image.new("L", (big * 2, big * 2), 0)
    ImageDraw.Draw(m).line([(66 * 2, 76 * 2), (128 * 2, 196 * 2), (190 * 2, 76 * 2)], fill=255, width=34 * 2,
                           joint="curve")
    v = m.resize((big, big), Image.LANCZOS)
    paint(img, (0, 40, 90, 110), ImageChops.offset(v.filter(ImageFilter.GaussianBlur(5)), 0, 6))
    paint(img, (255, 255, 255), v)
    star = [(128 + r * math.cos(a), 54 + r * math.sin(a))
            for i in range(8) for a, r in [(-math.pi / 2 + i * math.pi / 4, 26 if i % 2 == 0 else 8)]]
    paint(img, (255, 236, 170), poly_mask((big, big), star, ss=2))
    return img.resize((size, size), Image.LANCZOS)


ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)


def write_ico(path):
    """A Windows icon: 32-bit DIB entries below 256 pixels, a PNG entry at 256 (what Windows expects there)."""
    entries = []
    for s in ICON_SIZES:
        im = make_emblem(s)
        if s >= 256:
            buf = io.BytesIO()
            im.save(buf, "PNG", optimize=True)
            entries.append((s, buf.getvalue()))
            continue
        px = im.load()
        rows = []
        for y in range(s - 1, -1, -1):  # bottom-up
            rows.append(b"".join(bytes((px[x, y][2], px[x, y][1], px[x, y][0], px[x, y][3])) for x in range(s)))
        xor = b"".join(rows)
        mask_row = ((s + 31) // 32) * 4
        andmask = bytearray(mask_row * s)
        for y in range(s):
            for x in range(s):
                if px[x, s - 1 - y][3] == 0:
                    andmask[y * mask_row + x // 8] |= 0x80 >> (x % 8)
        header = struct.pack("<IiiHHIIiiII", 40, s, s * 2, 1, 32, 0, len(xor) + len(andmask), 0, 0, 0, 0)
        entries.append((s, header + xor + bytes(andmask)))
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for s, data in entries:
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(data for _s, data in entries)
    with open(path, "wb") as f:
        f.write(out)


# ---------------------------------------------------------------------------------------------------------------

def images():
    install = [pill_button((249, 84), "立即安装", s, "solid", 28, icon="download") for s in range(3)]
    finish = [pill_button((176, 58), "完成", s, "ghost", 20) for s in range(3)]
    start = [pill_button((176, 58), "开始游戏", s, "solid", 20, icon="play") for s in range(3)]
    return {
        "bk.png": make_bk(),
        "bk1.png": make_bk1(),
        "bk2.png": make_bk2(),
        "0.png": make_slide(0),
        "1.png": make_slide(1),
        "2.png": make_slide(2),
        "Btn_Install.png": strip(install),
        "Btn_Finish.png": strip(finish),
        "Btn_Start.png": strip(start),
        "Btn_Mini.png": make_system_button("mini"),
        "Btn_Close.png": make_system_button("close"),
        "Btn_Default.png": make_default_button(),
        "Custom_Up.png": make_custom(arrow_up=False),
        "Custom_Down.png": make_custom(arrow_up=True),
        "option.png": make_option(),
        "Progress.png": make_progress(),
        "Edit.png": make_edit(),
        "Btn_Retry.png": make_retry_button(),
    }


# The scaled pictures beside each image: name@1.5x and name@2x. The large painted pictures (backgrounds and
# slides: no transparency, smooth gradients) are JPEG at those scales; the rest keeps PNG for its alpha.
# The installer takes either, and at 150 % reduces the 2x pictures with a filter when there are no 1.5x
# ones. The skin ships 2x only: with 1.5x as well the program would outgrow its 2 MB (see the README).
SCALES = {1.5: "@1.5x", 2.0: "@2x"}
SHIPPED_SCALES = (2.0,)
PAINTED = ("bk.png", "bk1.png", "bk2.png", "0.png", "1.png", "2.png")
JPEG_QUALITY = {1.5: 80, 2.0: 48}


def save(img, folder, name, scale):
    stem, ext = os.path.splitext(name)
    suffix = SCALES.get(scale, "")
    if scale != 1.0 and name in PAINTED:
        img.convert("RGB").save(os.path.join(folder, stem + suffix + ".jpg"), "JPEG", quality=JPEG_QUALITY[scale],
                                optimize=True, progressive=True, subsampling="4:2:0")
    else:
        img.save(os.path.join(folder, stem + suffix + ext), "PNG", optimize=True)


def main():
    global K
    args = sys.argv[1:]
    scales = SHIPPED_SCALES
    if "--scales" in args:
        i = args.index("--scales")
        try:
            scales = tuple(float(v) for v in args[i + 1].split(","))
        except (IndexError, ValueError):
            sys.exit(__doc__)
        del args[i:i + 2]
        if any(v not in SCALES for v in scales):
            sys.exit("make_skin_art: scales are 1.5 and 2")
    if len(args) not in (1, 2):
        sys.exit(__doc__)
    skin = args[0]
    for scale in (1.0,) + scales:
        K = scale
        for name, img in images().items():
            save(img, skin, name, scale)
    K = 1.0
    if len(args) == 2:
        write_ico(args[1])


if __name__ == "__main__":
    main()
