#!/usr/bin/env python3
"""Drives the installer's window under Wine the way a user does: real clicks and keys through xdotool.

Usage as a program (with DISPLAY and the Wine environment of tools/wine-env.sh already set up):
    installer_driver.py walk --skin SKIN.xml --shots DIR [--pid PID] [--timeout S] [--publish SRC DEST]
        waits for the installer window, saves DIR/installer-welcome.png (and DIR/installer.png), clicks Install,
        saves DIR/installer-progress.png, waits for the finish page, saves DIR/installer-finish.png and clicks
        Start. Exit code 0 when the finish page was reached and Start clicked, 1 otherwise.
        With --publish the package is not on the server yet: Install fails, the failure state with the retry
        button is saved as DIR/installer-failed.png, then SRC is copied to DEST (where the server finds it) and
        Retry is clicked, and the walk goes on from the progress page.
    installer_driver.py geometry --skin SKIN.xml [--panel-open] [--dpi N]
        prints the window rectangle (left top right bottom) of every named control.
Usage as a module (the end-to-end tests):
    from installer_driver import SkinGeometry, InstallerWindow

Where a control lies is computed from skin.xml with the layout rules of the skin's containers (fixed sizes,
the rest shared out equally, floating controls at their "pos" offset inside their parent, tab pages on top of
each other), so a moved button in the skin moves the click with it. At a display scale other than 96 DPI
every length of the skin is scaled on its own, halves rounded up, as the installer scales it. Which page shows is told by the window's
background: the screenshot is compared with the skin's three backgrounds (bk.png welcome, bk1.png progress,
bk2.png finish) and the closest one wins.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import time

CONTAINERS = {"VerticalLayout", "HorizontalLayout", "TabLayout", "Container"}
PAGE_BACKGROUNDS = (("welcome", "bk.png"), ("progress", "bk1.png"), ("finish", "bk2.png"))
XDOTOOL = "xdotool"
IMPORT = "/usr/bin/import"
COMPARE = "/usr/bin/compare"
CONVERT = "/usr/bin/convert"


class Node:
    def __init__(self, tag, attrs):
        self.tag = tag
        self.attrs = attrs
        self.children = []


def parse_skin(path):
    """A forgiving reader of the skin markup (the skin's own parser accepts attributes without blanks)."""
    with open(path, encoding="utf-8-sig") as f:
        text = f.read()
    text = re.sub(r"<\?.*?\?>|<!--.*?-->", "", text, flags=re.S)
    root = Node("#root", {})
    stack = [root]
    for m in re.finditer(r"<(/?)([A-Za-z_][\w.]*)((?:[^>\"']|\"[^\"]*\"|'[^']*')*?)(/?)>", text):
        closing, tag, rest, empty = m.groups()
        if closing:
            while len(stack) > 1 and stack[-1].tag != tag:
                stack.pop()
            if len(stack) > 1:
                stack.pop()
            continue
        attrs = {k: v for k, v in re.findall(r"([\w.]+)\s*=\s*\"([^\"]*)\"", rest)}
        node = Node(tag, attrs)
        stack[-1].children.append(node)
        if not empty:
            stack.append(node)
    return root


def _int(attrs, name):
    try:
        return int(attrs.get(name, "0"))
    except ValueError:
        return 0


class SkinGeometry:
    """Window rectangles (left, top, right, bottom) of the skin's named controls."""

    def __init__(self, skin_path, overrides=None, dpi=96):
        self.skin_dir = os.path.dirname(os.path.abspath(skin_path))
        self.dpi = dpi
        root = parse_skin(skin_path)
        window = next(n for n in root.children if n.tag == "Window")
        w, h = (self.scale(int(v)) for v in window.attrs.get("size", "600,400").split(","))
        self.size = (w, h)
        self.rects = {}
        self._overrides = overrides or {}  # name -> {"height": n}: a size the program sets at run time
        tops = [n for n in window.children if n.tag not in ("Font", "Default", "Image")]
        if tops:
            self._place(tops[0], (0, 0, w, h))

    def scale(self, n):
        """A length of the skin in pixels at this display scale."""
        return (abs(n) * self.dpi + 48) // 96 * (1 if n >= 0 else -1)

    def _fixed(self, node, name):
        over = self._overrides.get(node.attrs.get("name", ""), {})
        return self.scale(over.get(name, _int(node.attrs, name)))

    def _place(self, node, rect):
        name = node.attrs.get("name")
        if name:
            self.rects[name] = rect
        if node.tag not in CONTAINERS and not node.tag.endswith("Layout"):
            return
        left, top, right, bottom = rect
        kids = [c for c in node.children]
        flow = [c for c in kids if c.attrs.get("float") != "true"]
        for c in kids:
            if c.attrs.get("float") == "true":
                pos = [self.scale(int(v)) for v in (c.attrs.get("pos", "0,0,0,0").split(",") + ["0"] * 4)[:4]]
                cw = self._fixed(c, "width") or max(pos[2] - pos[0], 0)
                ch = self._fixed(c, "height") or max(pos[3] - pos[1], 0)
                self._place(c, (left + pos[0], top + pos[1], left + pos[0] + cw, top + pos[1] + ch))
        if node.tag == "TabLayout":
            for c in flow:
                self._place(c, rect)
            return
        vertical = node.tag == "VerticalLayout"
        total = (bottom - top) if vertical else (right - left)
        key = "height" if vertical else "width"
        fixed = sum(self._fixed(c, key) for c in flow)
        free = [c for c in flow if not self._fixed(c, key)]
        share = max(total - fixed, 0) // len(free) if free else 0
        at = top if vertical else left
        for c in flow:
            extent = self._fixed(c, key) or share
            if vertical:
                cw = self._fixed(c, "width") or (right - left)
                self._place(c, (left, at, left + cw, at + extent))
            else:
                ch = self._fixed(c, "height") or (bottom - top)
                self._place(c, (at, top, at + extent, top + ch))
            at += extent

    def center(self, name):
        l, t, r, b = self.rects[name]
        return ((l + r) // 2, (t + b) // 2)

    def background(self, file_name):
        return os.path.join(self.skin_dir, file_name)


def run(args, text=True, **kw):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=text, **kw)


class InstallerWindow:
    """The installer's top-level X window (600 by 400 at 96 DPI), found by the program's class name."""

    def __init__(self, skin_path, wid, classname="veltarasetup.exe", dpi=96):
        self.skin_path = skin_path
        self.wid = wid
        self.classname = classname
        self.geometry = SkinGeometry(skin_path, dpi=dpi)
        self.panel = SkinGeometry(skin_path, {"Hor_Custom": {"height": 80}}, dpi=dpi)

    @staticmethod
    def find(skin_path, timeout=30.0, classname="veltarasetup.exe", alive=lambda: True, dpi=96):
        size = SkinGeometry(skin_path, dpi=dpi).size
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and alive():
            out = run([XDOTOOL, "search", "--onlyvisible", "--classname", classname]).stdout.split()
            for wid in out:
                g = run([XDOTOOL, "getwindowgeometry", wid]).stdout
                m = re.search(r"Geometry:\s*(\d+)x(\d+)", g)
                if m and (int(m.group(1)), int(m.group(2))) == size:
                    return InstallerWindow(skin_path, wid, classname, dpi)
            time.sleep(0.1)
        return None

    def exists(self):
        return run([XDOTOOL, "getwindowname", self.wid]).returncode == 0

    def click_at(self, x, y):
        run([XDOTOOL, "mousemove", "--window", self.wid, str(x), str(y)])
        time.sleep(0.05)
        run([XDOTOOL, "click", "--delay", "30", "1"])

    def click(self, name, panel_open=False):
        x, y = (self.panel if panel_open else self.geometry).center(name)
        self.click_at(x, y)

    def key(self, *keys):
        run([XDOTOOL, "key", "--delay", "20"] + list(keys))

    def type_text(self, text, delay_ms=20):
        # A character outside the keyboard's layout needs a slower pace (about 100 ms) to reach Wine.
        run([XDOTOOL, "type", "--delay", str(delay_ms), text])

    def screenshot(self, path):
        os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
        r = run([IMPORT, "-window", self.wid, path])
        if r.returncode != 0:
            r = run([IMPORT, "-window", "root", path])
        return r.returncode == 0

    def page(self, shot):
        """The page a screenshot shows: the name of the background closest to it."""
        best, best_err = None, None
        if self.geometry.dpi != 96:
            # The backgrounds are the 96-DPI art: the screenshot is reduced to their size first.
            small = shot + ".96.png"
            run([CONVERT, shot, "-resize", "%dx%d!" % (SkinGeometry(self.skin_path).size), small])
            shot = small
        for page, bk in PAGE_BACKGROUNDS:
            r = run([COMPARE, "-metric", "MAE", shot, self.geometry.background(bk), "null:"])
            m = re.search(r"\(([0-9.e+-]+)\)", r.stderr)
            if not m:
                continue
            err = float(m.group(1))
            if best_err is None or err < best_err:
                best, best_err = page, err
        if self.geometry.dpi != 96 and os.path.exists(shot):
            os.remove(shot)
        return best

    def retry_shown(self, shot):
        """Whether the screenshot shows the retry button (its blue fills most of its place)."""
        l, t, r, b = self.geometry.rects["Btn_Retry"]
        out = run([CONVERT, shot, "-crop", "%dx%d+%d+%d" % (r - l, b - t, l, t), "+repage", "-depth", "8", "rgb:-"],
                  text=False).stdout
        blue = sum(1 for i in range(0, len(out) - 2, 3) if out[i + 2] > 150 and out[i] < 120)
        return blue * 3 > len(out) // 2

    def wait_retry(self, shot, timeout, alive=lambda: True):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and alive():
            if self.screenshot(shot) and self.page(shot) == "progress" and self.retry_shown(shot):
                return True
            time.sleep(0.2)
        return False

    def wait_page(self, page, shot, timeout, alive=lambda: True):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and alive():
            if self.screenshot(shot) and self.page(shot) == page:
                return True
            time.sleep(0.2)
        return False


def walk(opts):
    """The headless demo: Install, progress, finish and Start, with a screenshot of each page."""
    alive = (lambda: os.path.exists("/proc/%d" % opts.pid)) if opts.pid else (lambda: True)
    win = InstallerWindow.find(opts.skin, opts.timeout, alive=alive)
    if win is None:
        print("installer_driver: the installer window did not appear", file=sys.stderr)
        return 1
    shot = lambda n: os.path.join(opts.shots, "installer-%s.png" % n)  # noqa: E731
    if not win.wait_page("welcome", shot("welcome"), opts.timeout, alive):
        print("installer_driver: the welcome page did not show", file=sys.stderr)
        return 1
    time.sleep(0.5)  # let the first paint settle (fonts, fades)
    win.screenshot(shot("welcome"))
    win.screenshot(os.path.join(opts.shots, "installer.png"))
    print("installer_driver: welcome page: %s" % shot("welcome"), flush=True)
    win.click("Btn_Install")
    if opts.publish:
        if not win.wait_retry(shot("failed"), opts.timeout, alive):
            print("installer_driver: no failure with a retry button while the package was missing", file=sys.stderr)
            return 1
        time.sleep(0.5)
        win.screenshot(shot("failed"))
        print("installer_driver: failure state: %s" % shot("failed"), flush=True)
        src, dest = opts.publish
        os.makedirs(os.path.dirname(os.path.abspath(dest)), exist_ok=True)
        shutil.copyfile(src, dest + ".tmp")
        os.replace(dest + ".tmp", dest)
        win.click("Btn_Retry")
    if not win.wait_page("progress", shot("progress"), 10, alive):
        # A small package on loopback may be through before the progress page is caught.
        if not win.wait_page("finish", shot("finish"), 2, alive):
            print("installer_driver: Install did not lead to the progress page", file=sys.stderr)
            return 1
    else:
        # A moment later the bar has moved and the speed line (once a second) shows. After a retry the page
        # was already there, so the wait starts with the download rather than a page change later.
        time.sleep(1.0 if opts.publish else 1.5)
        progress = shot("progress") + ".tmp.png"
        if win.screenshot(progress) and win.page(progress) == "progress":
            os.replace(progress, shot("progress"))
        elif os.path.exists(progress):
            os.remove(progress)
        print("installer_driver: progress page: %s" % shot("progress"), flush=True)
    if not win.wait_page("finish", shot("finish"), opts.timeout, alive):
        print("installer_driver: the finish page did not show (last screenshot %s)" % shot("finish"),
              file=sys.stderr)
        return 1
    time.sleep(0.5)
    win.screenshot(shot("finish"))
    print("installer_driver: finish page: %s" % shot("finish"), flush=True)
    win.click("Btn_Start")
    return 0


def main():
    ap = argparse.ArgumentParser(description="drives the installer window with xdotool")
    sub = ap.add_subparsers(dest="cmd", required=True)
    w = sub.add_parser("walk")
    w.add_argument("--skin", required=True)
    w.add_argument("--shots", required=True)
    w.add_argument("--pid", type=int)
    w.add_argument("--timeout", type=float, default=60.0)
    w.add_argument("--publish", nargs=2, metavar=("SRC", "DEST"),
                   help="fail first: the package appears at DEST (copied from SRC) before Retry is clicked")
    g = sub.add_parser("geometry")
    g.add_argument("--skin", required=True)
    g.add_argument("--panel-open", action="store_true")
    g.add_argument("--dpi", type=int, default=96)
    opts = ap.parse_args()
    if opts.cmd == "walk":
        return walk(opts)
    geo = SkinGeometry(opts.skin, {"Hor_Custom": {"height": 80}} if opts.panel_open else None, opts.dpi)
    for name, rect in sorted(geo.rects.items()):
        print("%-16s %d %d %d %d" % ((name,) + rect))
    return 0


if __name__ == "__main__":
    sys.exit(main())
