#!/usr/bin/env python3
"""Packs the skin folder into the zip archive the installer carries as its "ZIPRES" 101 resource.

Usage: pack_skin.py <skin-folder> <out.zip>
Items are deflated, stored in name order with a fixed time stamp, so the same skin gives the same bytes.
"""
import os
import sys
import zipfile


def main():
    src, out = sys.argv[1], sys.argv[2]
    names = []
    for root, _dirs, files in os.walk(src):
        for name in files:
            full = os.path.join(root, name)
            names.append(os.path.relpath(full, src).replace(os.sep, "/"))
    names.sort()
    tmp = out + ".tmp"
    with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as zf:
        for rel in names:
            info = zipfile.ZipInfo(rel, date_time=(1980, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o100644 << 16
            with open(os.path.join(src, rel), "rb") as f:
                zf.writestr(info, f.read())
    os.replace(tmp, out)


if __name__ == "__main__":
    main()
