#!/usr/bin/python3
"""Composes rough mock-ups of the installer's pages from skin/skin.xml and its images, with a small layout of
its own (fixed sizes, floating positions, tab pages), so the artwork can be judged where the skin puts it
before the real window runtime paints it. The pages show what the installer's set-up and flow set at run time
(hidden agreement row, panel height, backgrounds, sample texts).

Usage: mock_skin_pages.py <skin-folder> <out-folder> [<AgreementText.cpp>]
    e.g. tools/mock_skin_pages.py skin build-x64/skin-mockups app/AgreementText.cpp
Needs Debian's python3-pil (run it with /usr/bin/python3).
"""
import html
import os
import re
import sys

from PIL import Image, ImageDraw, ImageFont

FONT_FILE = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
FONTS = {"0": 12, "1": 16}
LAYOUTS = {"HorizontalLayout", "VerticalLayout", "TabLayout"}


class Node:
    def __init__(self, tag, attrs):
        self.tag, self.attrs, self.children = tag, attrs, []


def parse(text):
    """Element tree of the skin markup; tolerant like the skin's own parser (no blank needed between
    attributes). Comments and declarations are skipped."""
    text = re.sub(r"<[!?].*?[->?]>", "", text.lstrip("\ufeff"), flags=re.S)
    root, stack = None, []
    for m in re.finditer(r"<(/?)(\w+)((?:\s*[\w:]+\s*=\s*\"[^\"]*\")*)\s*(/?)>", text):
        closing, tag, attr_text, empty = m.groups()
        if closing:
            stack.pop()
            continue
        attrs = {k: html.unescape(v) for k, v in re.findall(r"([\w:]+)\s*=\s*\"([^\"]*)\"", attr_text)}
        node = Node(tag, attrs)
        if stack:
            stack[-1].children.append(node)
        else:
            root = node
        if not empty:
            stack.append(node)
    return root


def num(v, default=0):
    m = re.match(r"\s*(-?\d+)", v or "")
    return int(m.group(1)) if m else default


def nums(v):
    return [int(x) for x in re.findall(r"-?\d+", v or "")]


def colour(v):
    v = (v or "").strip().lstrip("#")
    v = v[2:] if v.lower().startswith("0x") else v
    c = int(v, 16) if v else 0
    return ((c >> 16) & 255, (c >> 8) & 255, c & 255)


class Painter:
    def __init__(self, skin, size):
        self.skin, self.canvas, self.cache = skin, Image.new("RGBA", size, (0, 0, 0, 255)), {}

    def image(self, name):
        if name not in self.cache:
            path = os.path.join(self.skin, name)
            self.cache[name] = Image.open(path).convert("RGBA") if os.path.exists(path) else None
        return self.cache[name]

    def draw_image(self, image_str, rect, clip, modifier=""):
        """Draws an image string: file, source, dest, corner (nine-grid) and fade."""
        items = dict(re.findall(r"(\w+)='([^']*)'", image_str + " " + modifier))
        name = items.get("file", image_str if "=" not in image_str else "")
        img = self.image(name)
        if img is None:
            return
        src = nums(items.get("source")) or [0, 0, img.width, img.height]
        src = [src[0], src[1], min(src[2], img.width), min(src[3], img.height)]
        x0, y0, x1, y1 = rect
        if "dest" in items:
            d = nums(items["dest"])
            x0, y0, x1, y1 = x0 + d[0], y0 + d[1], min(x1, rect[0] + d[2]), min(y1, rect[1] + d[3])
        if x1 <= x0 or y1 <= y0:
            return
        part = img.crop(src)
        cl, ct, cr, cb = nums(items.get("corner")) or [0, 0, 0, 0]
        out = Image.new("RGBA", (x1 - x0, y1 - y0), (0, 0, 0, 0))
        pw, ph = part.size
        ow, oh = out.size
        xs = [(0, cl, 0, cl), (cl, pw - cr, cl, ow - cr), (pw - cr, pw, ow - cr, ow)]
        ys = [(0, ct, 0, ct), (ct, ph - cb, ct, oh - cb), (ph - cb, ph, oh - cb, oh)]
        for sx0, sx1, dx0, dx1 in xs:
            for sy0, sy1, dy0, dy1 in ys:
                if sx1 > sx0 and sy1 > sy0 and dx1 > dx0 and dy1 > dy0:
                    out.paste(part.crop((sx0, sy0, sx1, sy1)).resize((dx1 - dx0, dy1 - dy0), Image.BILINEAR),
                              (dx0, dy0))
        fade = num(items.get("fade"), 255)
        if fade < 255:
            out.putalpha(out.getchannel("A").point(lambda a: a * fade // 255))
        self.composite(out, (x0, y0), clip)

    def composite(self, layer, pos, clip):
        full = Image.new("RGBA", self.canvas.size, (0, 0, 0, 0))
        full.paste(layer, pos)
        mask = Image.new("L", self.canvas.size, 0)
        mask.paste(255, clip)
        clipped = Image.new("RGBA", self.canvas.size, (0, 0, 0, 0))
        clipped.paste(full, (0, 0), mask)
        self.canvas.alpha_composite(clipped)

    def fill(self, rgb, rect, clip):
        layer = Image.new("RGBA", (rect[2] - rect[0], rect[3] - rect[1]), rgb + (255,))
        self.composite(layer, rect[:2], clip)

    def text(self, s, rect, clip, attrs, wrap=False):
        if not s:
            return
        f = ImageFont.truetype(FONT_FILE, FONTS.get(attrs.get("font", "0"), 12))
        pad = nums(attrs.get("textpadding")) or [0, 0, 0, 0]
        x0, y0, x1, y1 = rect[0] + pad[0], rect[1] + pad[1], rect[2] - pad[2], rect[3] - pad[3]
        rgb = colour(attrs.get("textcolor", "#FF000000"))
        layer = Image.new("RGBA", (rect[2] - rect[0], rect[3] - rect[1]), (0, 0, 0, 0))
        d = ImageDraw.Draw(layer)
        if wrap:
            lines = []
            for para in s.replace("\r\n", "\n").split("\n"):
                line = ""
                for ch in para:
                    if f.getlength(line + ch) > x1 - x0:
                        lines.append(line)
                        line = ""
                    line += ch
                lines.append(line)
            for i, line in enumerate(lines):
                d.text((x0 - rect[0], y0 - rect[1] + i * 18), line, font=f, fill=rgb + (255,))
        else:
            tw = f.getlength(s)
            align = attrs.get("align", "center")
            x = x0 if align == "left" else x1 - tw if align == "right" else (x0 + x1 - tw) / 2
            d.text((x - rect[0], (y0 + y1) / 2 - rect[1]), s, font=f, fill=rgb + (255,), anchor="lm")
        self.composite(layer, rect[:2], clip)


def fixed(node, key):
    return num(node.attrs.get(key), -1)


def layout_and_paint(p, node, rect, clip, state):
    a = node.attrs
    if a.get("visible") == "false" or a.get("name") in state.get("hidden", ()):
        return
    clip = (max(clip[0], rect[0]), max(clip[1], rect[1]), min(clip[2], rect[2]), min(clip[3], rect[3]))
    if clip[2] <= clip[0] or clip[3] <= clip[1]:
        return
    name = a.get("name", "")
    over = state.get(name, {})
    attrs = dict(a, **over)
    if "bkcolor" in attrs:
        p.fill(colour(attrs["bkcolor"]), rect, clip)
    if attrs.get("bkimage"):
        p.draw_image(attrs["bkimage"], rect, clip)
    if node.tag == "Progress":
        lo, hi, v = num(attrs.get("min")), num(attrs.get("max"), 100), num(attrs.get("value"))
        right = rect[0] + (rect[2] - rect[0]) * (v - lo) // max(1, hi - lo)
        if right > rect[0]:
            p.draw_image(attrs["foreimage"], rect, clip, "dest='0,0,%d,%d'" % (right - rect[0], rect[3] - rect[1]))
    if node.tag in ("Button", "FadeButton"):
        key = {"hot": "hotimage", "pushed": "pushedimage"}.get(attrs.get("state"), "normalimage")
        if attrs.get(key):
            p.draw_image(attrs[key], rect, clip)
    if node.tag == "Option":
        key = "selectedimage" if attrs.get("selected") == "true" else "normalimage"
        if attrs.get(key):
            p.draw_image(attrs[key], rect, clip)
    if node.tag in ("Label", "Text", "Button", "FadeButton", "Option", "Edit"):
        attrs.setdefault("align", "left" if node.tag == "Edit" else attrs.get("align", "center"))
        p.text(attrs.get("text", ""), rect, clip, attrs)
    if node.tag == "RichEdit":
        p.text(attrs.get("text", ""), rect, clip, attrs, wrap=True)

    kids = node.children
    if node.tag == "TabLayout":
        sel = num(state.get(name, {}).get("select"), 0)
        kids = [c for c in kids if c.attrs.get("float") == "true"] + [
            c for c in kids if c.attrs.get("float") != "true"][sel:sel + 1]
    flow = [c for c in kids if c.attrs.get("float") != "true"]
    vertical = node.tag == "VerticalLayout"
    horizontal = node.tag == "HorizontalLayout"
    sizes = []
    for c in flow:
        key = "height" if vertical else "width"
        v = num(state.get(c.attrs.get("name", ""), {}).get(key), fixed(c, key))
        sizes.append(v if (vertical or horizontal) and v >= 0 else None)
    total = (rect[3] - rect[1]) if vertical else (rect[2] - rect[0])
    free = total - sum(s for s in sizes if s is not None)
    nfree = sum(1 for s in sizes if s is None)
    pos = rect[1] if vertical else rect[0]
    for c, s in zip(flow, sizes):
        s = s if s is not None else max(0, free // max(1, nfree))
        if vertical:
            w = fixed(c, "width")
            r = (rect[0], pos, rect[0] + w if w >= 0 else rect[2], pos + s)
        elif horizontal:
            h = num(state.get(c.attrs.get("name", ""), {}).get("height"), fixed(c, "height"))
            r = (pos, rect[1], pos + s, rect[1] + h if h >= 0 else rect[3])
        else:
            r = rect
        pos += s
        layout_and_paint(p, c, r, clip, state)
    for c in kids:
        if c.attrs.get("float") == "true":
            x, y = nums(c.attrs.get("pos"))[:2]
            r = (rect[0] + x, rect[1] + y, rect[0] + x + fixed(c, "width"), rect[1] + y + fixed(c, "height"))
            layout_and_paint(p, c, r, clip, state)


def custom_button(file_name):
    return {"bkimage": "file='%s' source='0,0,130,30'" % file_name,
            "normalimage": "file='%s' source='0,0,130,30'" % file_name}


def pages(agreement):
    setup = {"hidden": ("Opt_Agree", "Label_agreement", "Btn_agreement"),
             "Edt_Path": {"text": "C:\\Program Files (x86)"},
             "Txt_ShowMsg": {"text": "所需空间：150MB，可用空间：50.0GB"},
             "Btn_Custom": custom_button("Custom_Up.png")}
    return {
        "welcome_closed": dict(setup, Hor_Custom={"height": "1"}),
        "welcome_closed_hot": dict(setup, Hor_Custom={"height": "1"}, Btn_Install={"state": "hot"}),
        "welcome_open": dict(setup, Hor_Custom={"height": "80"}, Btn_Custom=custom_button("Custom_Down.png")),
        "welcome_open_error": dict(setup, Hor_Custom={"height": "80"}, Btn_Custom=custom_button("Custom_Down.png"),
                                   Edt_Path={"text": "D:\\NoSuchFolder"},
                                   Txt_ShowMsg={"text": "请输入正确的安装路径！", "textcolor": "#FFFF0000"}),
        "progress": dict(setup, Tab_Switch={"select": "1"}, Hor_Window={"bkimage": "bk1.png"},
                         theme={"bkimage": "file='1.png' fade='255'"}, Pro_Install={"value": "420"},
                         Txt_Status={"text": "42%"}, Txt_Error={"text": "下载速度：2.35MB/秒"}),
        "progress_fading": dict(setup, Tab_Switch={"select": "1"}, Hor_Window={"bkimage": "bk1.png"},
                                theme={"bkimage": "file='2.png' fade='110'"}, Pro_Install={"value": "930"},
                                Txt_Status={"text": "93%"}, Txt_Error={"text": "正在解压安装文件..."}),
        "finish": dict(setup, Tab_Switch={"select": "2"}, Hor_Window={"bkimage": "bk2.png"},
                       Btn_Start={"state": "hot"}),
        "agreement": dict(setup, Tab_MainSwitch={"select": "1"}, Txt_info={"text": agreement}),
    }


def read_agreement(path):
    if not path:
        return "用户协议"
    src = open(path, encoding="utf-8").read()
    body = src[src.index("=") + 1:src.index(";", src.index("="))]
    text = "".join(re.findall(r'"((?:[^"\\]|\\.)*)"', body))
    return text.replace("\\r\\n", "\n")


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    skin, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    root = parse(open(os.path.join(skin, "skin.xml"), encoding="utf-8").read())
    size = tuple(nums(root.attrs["size"]))
    for page, state in pages(read_agreement(sys.argv[3] if len(sys.argv) == 4 else None)).items():
        p = Painter(skin, size)
        for child in root.children:
            if child.tag not in ("Font", "Image", "Default"):
                layout_and_paint(p, child, (0, 0) + size, (0, 0) + size, state)
        p.canvas.convert("RGB").save(os.path.join(out, page + ".png"))
        print(os.path.join(out, page + ".png"))


if __name__ == "__main__":
    main()
