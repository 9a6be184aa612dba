#!/usr/bin/env python3
"""Makes the large zip64 archives the zip64 test reads, each written by an independent tool.

Usage: make_zip64_archives.py <out-dir>

Writes <out-dir>/*.zip and <out-dir>/manifest.txt:
    many <file> <tool> <count>          python zipfile, <count> items "many/NNNNN.txt" (more than 65,535, so
                                        the archive needs zip64 end records); item i holds ITEM_TEXT % i
                                        repeated i % 7 + 1 times, every third item stored, the others deflated
    large <file> <tool> <name> <size> <crc32-hex>
                                        bsdtar, one item of <size> zero bytes (more than 4 GiB, so its sizes
                                        are zip64 fields), deflated, followed by a small item
    zeros <size> <crc32-hex>            the CRC-32 of that many zero bytes (the test writes such an item too)
    missing <tool> <debian-package>     a tool that is not installed
Every archive is checked here to really use the zip64 records it is made for.
"""
import os
import shutil
import struct
import subprocess
import sys
import zipfile
import zlib

MANY = 70000
ITEM_TEXT = "item %d\r\n"
LARGE = (4 << 30) + (1 << 20)  # 4 GiB + 1 MiB
SMALL_TEXT = b"after the large item\r\n" * 10


def zeros_crc(size):
    crc, block = 0, bytes(1 << 20)
    for _ in range(size >> 20):
        crc = zlib.crc32(block, crc)
    return zlib.crc32(bytes(size & ((1 << 20) - 1)), crc)


def has_zip64_end(path):
    with open(path, "rb") as f:
        f.seek(-(22 + 20), os.SEEK_END)
        return f.read(4) == b"PK\x06\x07"


def many_items(out):
    path = os.path.join(out, "python_many.zip")
    with zipfile.ZipFile(path, "w") as zf:
        for i in range(MANY):
            zi = zipfile.ZipInfo("many/%05d.txt" % i, date_time=(2021, 6, 15, 12, 34, 56))
            zi.compress_type = zipfile.ZIP_STORED if i % 3 == 0 else zipfile.ZIP_DEFLATED
            zf.writestr(zi, (ITEM_TEXT % i).encode("ascii") * (i % 7 + 1))
    if not has_zip64_end(path):
        raise SystemExit("python zipfile wrote no zip64 end record")
    return "many python_many.zip python3-zipfile %d" % MANY


def large_item(out):
    if not shutil.which("bsdtar"):
        return "missing bsdtar libarchive-tools"
    work = os.path.join(out, "large-src")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    with open(os.path.join(work, "large.bin"), "wb") as f:
        f.truncate(LARGE)  # sparse: no disk space, reads as zeros
    with open(os.path.join(work, "small.txt"), "wb") as f:
        f.write(SMALL_TEXT)
    path = os.path.abspath(os.path.join(out, "bsdtar_large.zip"))
    subprocess.run(["bsdtar", "--format", "zip", "--options", "zip:compression-level=1", "-cf", path,
                    "large.bin", "small.txt"], cwd=work, check=True, env=dict(os.environ, LC_ALL="C", TZ="UTC"))
    shutil.rmtree(work)
    with zipfile.ZipFile(path) as zf:
        info = zf.getinfo("large.bin")
        if info.file_size != LARGE or info.compress_size >= 1 << 32:
            raise SystemExit("bsdtar wrote an unexpected large item")
        extra = info.extra
        pos, zip64 = 0, False
        while pos + 4 <= len(extra):
            hid, size = struct.unpack("<HH", extra[pos:pos + 4])
            zip64 |= hid == 1
            pos += 4 + size
        if not zip64:
            raise SystemExit("bsdtar wrote no zip64 block for the large item")
    return "large bsdtar_large.zip bsdtar large.bin %d %08x" % (LARGE, zeros_crc(LARGE))


def main():
    out = os.path.abspath(sys.argv[1])
    os.makedirs(out, exist_ok=True)
    for name in os.listdir(out):
        if name.endswith(".zip"):
            os.remove(os.path.join(out, name))
    lines = [many_items(out), large_item(out)]
    crc = lines[1].split()[-1] if lines[1].startswith("large") else "%08x" % zeros_crc(LARGE)
    lines.append("zeros %d %s" % (LARGE, crc))
    with open(os.path.join(out, "manifest.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
