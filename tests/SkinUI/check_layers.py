#!/usr/bin/env python3
"""Fails when a file of the UI framework includes a file of a higher layer (or of the installer above it).

Usage: check_layers.py [--root DIR] [--expect N]
DIR holds the SkinUI folder (default: the repository). The layers, bottom to top: Utils; Core; Control and
Layout side by side (neither uses the other); Window. A file may include files of its own folder and of the
layers below it. A quoted name that names a file beside the including one ("../Layout/UILinearLayout.h",
"UIButton.h") is read relative to it, any other name as written ("SkinUI/Core/UIControl.h", <SkinUI/...>);
app/ and sdk/ are above every SkinUI folder. Each arrow that runs the wrong way is printed as "UPWARD <file>:<line> -> <target>".
--expect N: succeed only when exactly N such arrows are found (the canary tree proves the check bites).
"""
import argparse
import os
import re
import sys

RANK = {"Utils": 0, "Core": 1, "Control": 2, "Layout": 2, "Window": 3}
ABOVE_ALL = ("app", "sdk")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')
SOURCES = (".h", ".hpp", ".cpp", ".c", ".inl")


def target_folder(root, source_dir, quote, name):
    """The layer folder an include names ("Core", ..., "app"), or None when it is outside the checked tree."""
    name = name.replace("\\", "/")
    beside = os.path.normpath(os.path.join(source_dir, name))
    if quote == '"' and os.path.isfile(beside):
        name = os.path.relpath(beside, root).replace(os.sep, "/")
    parts = name.split("/")
    if parts[0] == "SkinUI" and len(parts) > 2 and parts[1] in RANK:
        return parts[1]
    if parts[0] in ABOVE_ALL and len(parts) > 1:
        return parts[0]
    return None


def arrows(root):
    found = []
    base = os.path.join(root, "SkinUI")
    for folder in sorted(RANK):
        path = os.path.join(base, folder)
        if not os.path.isdir(path):
            continue
        for name in sorted(os.listdir(path)):
            if not name.endswith(SOURCES):
                continue
            full = os.path.join(path, name)
            with open(full, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    target = target_folder(root, path, m.group(1), m.group(2))
                    if target is None or target == folder:
                        continue
                    if target in ABOVE_ALL or RANK[target] >= RANK[folder]:
                        found.append("SkinUI/%s/%s:%d -> %s" % (folder, name, number, m.group(2)))
    return found


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", default=os.path.normpath(os.path.join(os.path.dirname(__file__), "..", "..")))
    ap.add_argument("--expect", type=int, default=0)
    opts = ap.parse_args()
    if not os.path.isdir(os.path.join(opts.root, "SkinUI")):
        print("no SkinUI folder under %s" % opts.root)
        return 2
    found = arrows(opts.root)
    for item in found:
        print("UPWARD %s" % item)
    print("%d include(s) against the layers, %d expected" % (len(found), opts.expect))
    return 0 if len(found) == opts.expect else 1


if __name__ == "__main__":
    sys.exit(main())
