#!/usr/bin/env python3
"""Makes the zip archives the interoperability test reads, each written by an independent tool.

Usage: make_interop_archives.py <out-dir>

Writes <out-dir>/*.zip and <out-dir>/manifest.txt. The manifest says, per archive, which tool made it,
whether the reader must open it, which format features the archive really uses (found by inspecting its
bytes), and the expected items, derived from the source tree (never from the archive):
    archive <file> <tool> <open|refuse> <feature,...>
    file <name-hex> <size> <crc32-hex> <unix-mtime or ->   (the time when the archive holds UTC times)
    dir <name-hex>
Names are given as the reader must hand them out: GBK bytes (code page 936), forward slashes.
A tool that is not installed gives a line "missing <tool> <debian-package>" instead of its archives.

Tools (Debian packages): python3 zipfile, Info-ZIP zip (zip), bsdtar (libarchive-tools), 7-Zip (7zip: 7zz,
or p7zip-full: 7z), cmake -E tar (cmake).
"""
import io
import os
import shutil
import struct
import subprocess
import sys
import zipfile
import zlib

MTIME = 1623760496  # 2021-06-15 12:34:56 UTC, even seconds so DOS time can hold it too
TOP = "pkg"


def make_content():
    """Relative names (str, '/' separators) of files with their bytes, and of folders."""
    text = "".join("line %05d: the quick brown fox jumps over the lazy dog\r\n" % i for i in range(120))
    seed, noise = 12345, bytearray()
    for _ in range(40000):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        noise.append((seed >> 16) & 0xFF)
    structured = b"".join(struct.pack("<IIhh", i, i * 7, i % 300, -i % 17) for i in range(12000))
    files = {
        "readme.txt": text.encode("ascii"),
        "empty.txt": b"",
        "bin/noise.bin": bytes(noise),  # barely compressible, several 16 KB pieces
        "bin/table.dat": structured,  # compressible, ~144 KB
        "data/one.bin": b"\x01",
        "中文/说明.txt": "安装说明：运行 VeltaraClient.exe\r\n".encode("gbk") * 20,
    }
    # Long runs of one byte: inflate can still hold output after its last input byte. Sizes around the 32 KB
    # window and the reader's 16 KB pieces.
    for n in (8191, 8192, 8193, 16383, 16384, 16385, 32767, 32768, 32769, 49152, 65536, 65537, 262144):
        files["rep/zeros_%d.bin" % n] = bytes(n)
    for n in (16384, 65536, 1 << 20):
        files["rep/abc_%d.txt" % n] = (b"abc" * (n // 3 + 1))[:n]
    folders = ["bin", "data", "emptydir", "rep", "中文"]
    return files, folders


def write_tree(root, files, folders, encoding):
    """Writes the content below root/TOP with on-disk names in the given encoding (bytes paths)."""
    base = os.path.join(os.fsencode(root), TOP.encode())
    if os.path.exists(base):
        shutil.rmtree(base)
    for d in folders:
        os.makedirs(os.path.join(base, d.encode(encoding)), exist_ok=True)
    for name, data in files.items():
        path = os.path.join(base, name.encode(encoding))
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (MTIME, MTIME))
    return base


def inspect(path):
    """Features the archive really uses, read from its bytes with Python's zipfile."""
    feats = set()
    with zipfile.ZipFile(path) as zf:
        raw = open(path, "rb").read()
        for info in zf.infolist():
            feats.add("stored" if info.compress_type == zipfile.ZIP_STORED else "deflated")
            if info.flag_bits & 0x08:
                feats.add("descriptor")
            if info.flag_bits & 0x800:
                feats.add("utf8-flag")
            elif any(c > 0x7F for c in info.orig_filename.encode("cp437", "replace")):
                feats.add("raw-8bit-name")
            if info.filename.endswith("/"):
                if info.external_attr & 0x10:
                    feats.add("folder-dos-attr")
                elif info.external_attr >> 16 & 0o40000:
                    feats.add("folder-unix-mode")
                else:
                    feats.add("folder-no-attr")
            if info.file_size == 0 and not info.filename.endswith("/"):
                feats.add("empty-file")
            local = info.header_offset  # zipfile already counts bytes in front of the archive
            n, m = struct.unpack("<HH", raw[local + 26:local + 30])
            local_extra = raw[local + 30 + n:local + 30 + n + m]
            if ut_mtime(local_extra) is not None:
                feats.add("ut-times")
            blocks = extra_blocks(local_extra) + extra_blocks(info.extra)
            if any(hid == 1 for hid, _ in blocks):
                feats.add("zip64-blocks")
            if any(hid == 0x000A and data[4:6] == b"\x01\x00" for hid, data in blocks):
                feats.add("ntfs-times")
        if zf.comment:
            feats.add("comment")
    if raw[-22 - len(zf.comment) - 20:][:4] == b"PK\x06\x07":
        feats.add("zip64-end")
    return feats


def extra_blocks(extra):
    blocks, pos = [], 0
    while len(extra) - pos >= 4:
        hid, size = struct.unpack("<HH", extra[pos:pos + 4])
        blocks.append((hid, extra[pos + 4:pos + 4 + size]))
        pos += 4 + size
    return blocks


def ut_mtime(extra):
    pos = 0
    while len(extra) - pos >= 5:
        hid, size = struct.unpack("<HH", extra[pos:pos + 4])
        if hid == 0x5455 and extra[pos + 4] & 1 and size >= 5:
            return struct.unpack("<i", extra[pos + 5:pos + 9])[0]
        pos += 4 + size
    return None


class Unseekable(io.RawIOBase):
    """A write-only stream without seek or tell: zipfile then writes data descriptors."""

    def __init__(self):
        self.data = bytearray()

    def writable(self):
        return True

    def write(self, b):
        self.data += b
        return len(b)


def python_archives(out, files, folders):
    made = []

    def fill(zf, method, bare_folder=False):
        for d in sorted(folders):
            zi = zipfile.ZipInfo("%s/%s/" % (TOP, d), date_time=(2021, 6, 15, 12, 34, 56))
            zi.external_attr = ((0o40755 << 16) | 0x10) if not (bare_folder and d == "emptydir") else 0
            zf.writestr(zi, b"")
        for name, data in sorted(files.items()):
            zi = zipfile.ZipInfo("%s/%s" % (TOP, name), date_time=(2021, 6, 15, 12, 34, 56))
            zi.compress_type = method
            zi.external_attr = 0o100644 << 16
            zf.writestr(zi, data)

    for fname, method, bare in (("python_deflated.zip", zipfile.ZIP_DEFLATED, True),
                                ("python_stored.zip", zipfile.ZIP_STORED, False)):
        with zipfile.ZipFile(os.path.join(out, fname), "w") as zf:
            fill(zf, method, bare)
        made.append((fname, "python3-zipfile", "open"))

    # Every item with zip64 sizes in its local header (the directory needs none at this size).
    with zipfile.ZipFile(os.path.join(out, "python_force_zip64.zip"), "w", zipfile.ZIP_DEFLATED) as zf:
        for d in sorted(folders):
            zf.writestr(zipfile.ZipInfo("%s/%s/" % (TOP, d), date_time=(2021, 6, 15, 12, 34, 56)), b"")
        for name, data in sorted(files.items()):
            zi = zipfile.ZipInfo("%s/%s" % (TOP, name), date_time=(2021, 6, 15, 12, 34, 56))
            zi.compress_type = zipfile.ZIP_DEFLATED
            with zf.open(zi, "w", force_zip64=True) as w:
                w.write(data)
    made.append(("python_force_zip64.zip", "python3-zipfile", "open"))

    stream = Unseekable()
    with zipfile.ZipFile(stream, "w") as zf:
        fill(zf, zipfile.ZIP_DEFLATED)
        zi = zipfile.ZipInfo("%s/stored-in-stream.txt" % TOP, date_time=(2021, 6, 15, 12, 34, 56))
        zi.compress_type = zipfile.ZIP_STORED
        zf.writestr(zi, files["readme.txt"])
    with open(os.path.join(out, "python_stream.zip"), "wb") as f:
        f.write(stream.data)
    made.append(("python_stream.zip", "python3-zipfile", "open", {"stored-in-stream.txt": files["readme.txt"]}))

    # The end record must start within the last 65535 bytes: a 65513-byte comment is the longest that fits.
    for fname, length, expect in (("python_comment_max.zip", 65535 - 22, "open"),
                                  ("python_comment_over.zip", 65535 - 21, "refuse")):
        with zipfile.ZipFile(os.path.join(out, fname), "w", zipfile.ZIP_DEFLATED) as zf:
            fill(zf, zipfile.ZIP_DEFLATED)
            zf.comment = b"c" * length
        made.append((fname, "python3-zipfile", expect))

    # Bytes in front of an archive whose offsets do not count them (an archive appended to a program).
    body = open(os.path.join(out, "python_deflated.zip"), "rb").read()
    with open(os.path.join(out, "python_prefixed.zip"), "wb") as f:
        f.write(b"MZ" + bytes(range(256)) * 20)
        f.write(body)
    made.append(("python_prefixed.zip", "python3-zipfile+prefix", "open"))
    return made


def run(cmd, cwd, env_locale, stdout=None):
    env = dict(os.environ, LC_ALL=env_locale, LANG=env_locale, TZ="UTC")
    env.pop("ZIPOPT", None)
    subprocess.run(cmd, cwd=cwd, env=env, check=True, stdout=stdout or subprocess.DEVNULL,
                   stderr=subprocess.PIPE)


def tool_archives(out, work):
    made, missing = [], []
    gbk_root = os.path.join(work, "gbk")
    utf8_root = os.path.join(work, "utf8")

    if shutil.which("zip"):
        run(["zip", "-q", "-r", "-9", os.path.abspath(os.path.join(out, "infozip_deflated.zip")), TOP], gbk_root, "C")
        run(["zip", "-q", "-r", "-0", os.path.abspath(os.path.join(out, "infozip_stored.zip")), TOP], gbk_root, "C")
        with open(os.path.join(out, "infozip_stream.zip"), "wb") as f:
            # Writing to a pipe makes zip use data descriptors.
            p = subprocess.Popen(["zip", "-q", "-r", "-", TOP], cwd=gbk_root, stdout=subprocess.PIPE,
                                 env=dict(os.environ, LC_ALL="C", TZ="UTC"))
            f.write(p.stdout.read())
            if p.wait() != 0:
                raise SystemExit("zip to a pipe failed")
        # A program in front, then zip -A adjusts the offsets to count from the start of the file.
        sfx = os.path.join(out, "infozip_sfx.zip")
        with open(sfx, "wb") as f:
            f.write(b"MZ" + b"\x90" * 3000)
            f.write(open(os.path.join(out, "infozip_deflated.zip"), "rb").read())
        run(["zip", "-q", "-A", os.path.abspath(sfx)], gbk_root, "C")
        made += [("infozip_deflated.zip", "info-zip", "open"), ("infozip_stored.zip", "info-zip", "open"),
                 ("infozip_stream.zip", "info-zip", "open"), ("infozip_sfx.zip", "info-zip-A", "open")]
    else:
        missing.append(("info-zip", "zip"))

    if shutil.which("bsdtar"):
        run(["bsdtar", "--format", "zip", "-cf", os.path.abspath(os.path.join(out, "bsdtar_gbk.zip")), TOP],
            gbk_root, "C")
        run(["bsdtar", "--format", "zip", "--options", "zip:compression=store", "-cf",
             os.path.abspath(os.path.join(out, "bsdtar_stored.zip")), TOP], utf8_root, "C.UTF-8")
        run(["bsdtar", "--format", "zip", "-cf", os.path.abspath(os.path.join(out, "bsdtar_utf8.zip")), TOP],
            utf8_root, "C.UTF-8")
        # zip64 blocks in every local header and zip64 end records, whatever the sizes.
        run(["bsdtar", "--format", "zip", "--options", "zip:zip64", "-cf",
             os.path.abspath(os.path.join(out, "bsdtar_zip64.zip")), TOP], utf8_root, "C.UTF-8")
        made += [("bsdtar_gbk.zip", "bsdtar", "open"), ("bsdtar_stored.zip", "bsdtar", "open"),
                 ("bsdtar_utf8.zip", "bsdtar", "open"), ("bsdtar_zip64.zip", "bsdtar", "open")]
    else:
        missing.append(("bsdtar", "libarchive-tools"))

    seven = shutil.which("7zz") or shutil.which("7z")
    if seven:
        for fname, level in (("7zip_deflated.zip", "-mx=7"), ("7zip_stored.zip", "-mx=0")):
            target = os.path.abspath(os.path.join(out, fname))
            run([seven, "a", "-tzip", level, "-mcu=on", target, TOP], utf8_root, "C.UTF-8")
            made.append((fname, "7-zip", "open"))
    else:
        missing.append(("7-zip", "7zip"))

    cmake = shutil.which("cmake")
    if cmake:
        run([cmake, "-E", "tar", "cf", os.path.abspath(os.path.join(out, "cmake_tar.zip")), "--format=zip", TOP],
            utf8_root, "C.UTF-8")
        made.append(("cmake_tar.zip", "cmake-E-tar", "open"))
    else:
        missing.append(("cmake-E-tar", "cmake"))
    return made, missing


def main():
    out = os.path.abspath(sys.argv[1])
    os.makedirs(out, exist_ok=True)
    # Some tools add to an existing archive instead of replacing it: start from nothing.
    for name in os.listdir(out):
        if name.endswith(".zip"):
            os.remove(os.path.join(out, name))
    work = os.path.join(out, "src")
    files, folders = make_content()
    write_tree(os.path.join(work, "gbk"), files, folders, "gbk")
    write_tree(os.path.join(work, "utf8"), files, folders, "utf-8")

    made = python_archives(out, files, folders)
    more, missing = tool_archives(out, work)
    made += more

    lines = []
    for entry in made:
        fname, tool, expect = entry[:3]
        extra = entry[3] if len(entry) > 3 else {}
        path = os.path.join(out, fname)
        feats = sorted(inspect(path)) if expect == "open" else ["comment-over-limit"]
        lines.append("archive %s %s %s %s" % (fname, tool, expect, ",".join(feats) or "-"))
        if expect != "open":
            continue
        ut = "ut-times" in feats or "ntfs-times" in feats
        for name, data in sorted(list(files.items()) + list(extra.items())):
            gbk = ("%s/%s" % (TOP, name)).encode("gbk")
            lines.append("file %s %d %08x %s" % (gbk.hex(), len(data), zlib.crc32(data), MTIME if ut else "-"))
        for d in [""] + folders:
            lines.append("dir %s" % ("%s/%s" % (TOP, d)).rstrip("/").encode("gbk").hex())
    for tool, package in missing:
        lines.append("missing %s %s" % (tool, package))
    with open(os.path.join(out, "manifest.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")
    shutil.rmtree(work)


if __name__ == "__main__":
    main()
