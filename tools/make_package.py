#!/usr/bin/env python3
"""The publisher's tool: makes the client package VeltaraClient.zip from a client folder and prints its SHA-256.

Usage:
    make_package.py CLIENT_DIR OUT.zip [--extra DIR]... [--size SIZE] [--small-files N] [--seed N] [--hash-file FILE]

Every file below CLIENT_DIR (and below each --extra folder, merged on top) goes into the archive below the top
folder VeltaraClient/, where the installer expects the client (VeltaraClient/VeltaraClient.exe). With --size
(bytes, or with a k, m or g suffix, powers of 1000) filler content is added below VeltaraClient/data/ until
the archive reaches about that size: a realistic mix of incompressible files (textures, audio), compressible
ones (text, tables) and half-compressible ones (levels), in subfolders. --small-files adds that many small
script and string files (100 to 3000 bytes) below VeltaraClient/data/scripts/, as real clients have them by the
thousand; they count towards --size. The same inputs, size, file count and seed always
give the same archive bytes (sorted names, a fixed time stamp, a seeded generator), so the printed hash can be
published ahead. The SHA-256 goes to stdout as one line "<hex>  <archive name>" and, with --hash-file, as the
bare hex digits into FILE.
"""
import argparse
import hashlib
import os
import random
import sys
import zipfile

TOP = "VeltaraClient"
STAMP = (2024, 1, 1, 0, 0, 0)
WORDS = ("veltara stone river quest guild sword shield potion dragon forest castle merchant level score "
         "player party raid loot armor magic spell bow arrow gold silver copper map north south east west "
         "tower bridge harbor island mountain valley storm fire ice wind earth light shadow").split()


def parse_size(text):
    text = text.strip().lower()
    scale = {"k": 1000, "m": 1000 ** 2, "g": 1000 ** 3}.get(text[-1:], 1)
    number = text[:-1] if text[-1:] in ("k", "m", "g") else text
    try:
        value = int(float(number) * scale)
    except ValueError:
        raise argparse.ArgumentTypeError("not a size: %r" % text)
    if value < 0:
        raise argparse.ArgumentTypeError("a size cannot be negative: %r" % text)
    return value


def collect(folders):
    """Maps archive names below the top folder to source paths; later folders replace earlier ones."""
    files = {}
    for folder in folders:
        for root, dirs, names in os.walk(folder):
            dirs.sort()
            for name in names:
                full = os.path.join(root, name)
                rel = os.path.relpath(full, folder).replace(os.sep, "/")
                files[rel] = full
    return files


def add_item(zf, name, data, folder=False):
    info = zipfile.ZipInfo(name, date_time=STAMP)
    info.create_system = 3
    if folder:
        info.external_attr = (0o40755 << 16) | 0x10
        info.compress_type = zipfile.ZIP_STORED
    else:
        info.external_attr = 0o100644 << 16
        info.compress_type = zipfile.ZIP_DEFLATED
    zf.writestr(info, data, compresslevel=6)


def text_block(rng, n):
    lines = []
    size = 0
    while size < n:
        line = "%05d %s\n" % (rng.randrange(100000), " ".join(rng.choice(WORDS) for _ in range(rng.randrange(4, 14))))
        lines.append(line)
        size += len(line)
    return "".join(lines).encode("ascii")[:n]


def level_block(rng, n):
    """Tiles in runs with noise: compresses to about half."""
    out = bytearray()
    while len(out) < n:
        out += bytes([rng.randrange(16)]) * rng.randrange(1, 24)
        out += rng.randbytes(rng.randrange(1, 12))
    return bytes(out[:n])


# Kind of filler file: (folder, extension, share of the files, size range, generator)
KINDS = (
    ("textures", "pak", 5, (400_000, 4_000_000), lambda rng, n: rng.randbytes(n)),
    ("sound", "ogg", 2, (200_000, 2_000_000), lambda rng, n: rng.randbytes(n)),
    ("text", "txt", 2, (5_000, 200_000), text_block),
    ("levels", "dat", 2, (50_000, 1_000_000), level_block),
)


def add_small_files(zf, count, rng):
    """Adds count small text files in a two-level tree of script folders."""
    if count <= 0:
        return
    add_item(zf, TOP + "/data/scripts/", b"", folder=True)
    per_folder = 100
    for i in range(count):
        folder = "%s/data/scripts/s%03d" % (TOP, i // per_folder)
        if i % per_folder == 0:
            add_item(zf, folder + "/", b"", folder=True)
        add_item(zf, "%s/script_%05d.lua" % (folder, i), text_block(rng, rng.randrange(100, 3000)))


def add_filler(zf, out, target, rng):
    """Adds filler items until the archive written so far reaches about target bytes."""
    folders_made = {TOP + "/data"}
    # Several files even for a small target: none larger than a sixth of it.
    cap = max(target // 6, 2000)
    weights = [k[2] for k in KINDS]
    counter = 0
    while True:
        written = out.tell()
        # About 100 bytes of central directory per item follow at the end.
        remaining = target - written - 100 * (counter + 8)
        if remaining <= 1000:
            return counter
        folder, ext, _share, (lo, hi), make = rng.choices(KINDS, weights=weights)[0]
        size = rng.randrange(min(lo, cap // 2), min(hi, cap))
        if make is text_block:
            size = min(size, remaining * 3)  # text compresses about three to one
        elif make is level_block:
            size = min(size, remaining * 2)
        else:
            size = min(size, remaining)
        path = "%s/data/%s" % (TOP, folder)
        if path not in folders_made:
            add_item(zf, path + "/", b"", folder=True)
            folders_made.add(path)
        add_item(zf, "%s/%s_%04d.%s" % (path, folder, counter, ext), make(rng, max(size, 1)))
        counter += 1


def make_package(sources, out_path, size=0, seed=1, small_files=0):
    files = collect(sources)
    if "%s.exe" % TOP not in files:
        print("make_package: warning: no %s.exe in the client folder" % TOP, file=sys.stderr)
    tmp = out_path + ".tmp"
    os.makedirs(os.path.dirname(os.path.abspath(out_path)), exist_ok=True)
    with open(tmp, "wb") as out:
        with zipfile.ZipFile(out, "w") as zf:
            add_item(zf, TOP + "/", b"", folder=True)
            made = {TOP}
            for rel in sorted(files):
                parts = rel.split("/")[:-1]
                for i in range(1, len(parts) + 1):
                    folder = "/".join([TOP] + parts[:i])
                    if folder not in made:
                        add_item(zf, folder + "/", b"", folder=True)
                        made.add(folder)
                with open(files[rel], "rb") as f:
                    add_item(zf, "%s/%s" % (TOP, rel), f.read())
            rng = random.Random(seed)
            if size or small_files:
                add_item(zf, TOP + "/data/", b"", folder=True)
            add_small_files(zf, small_files, rng)
            if size:
                add_filler(zf, out, size, rng)
    os.replace(tmp, out_path)
    digest = hashlib.sha256()
    with open(out_path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def main():
    ap = argparse.ArgumentParser(description="makes VeltaraClient.zip from a client folder and prints its SHA-256")
    ap.add_argument("client_dir")
    ap.add_argument("out_zip")
    ap.add_argument("--extra", action="append", default=[], help="another folder merged into the client folder")
    ap.add_argument("--size", type=parse_size, default=0, help="add filler until the archive is about this size")
    ap.add_argument("--small-files", type=int, default=0, help="add this many small files")
    ap.add_argument("--seed", type=int, default=1, help="seed of the filler content")
    ap.add_argument("--hash-file", help="also write the bare SHA-256 hex digits to this file")
    opts = ap.parse_args()
    for folder in [opts.client_dir] + opts.extra:
        if not os.path.isdir(folder):
            ap.error("not a folder: %s" % folder)
    if opts.small_files < 0:
        ap.error("--small-files cannot be negative")
    digest = make_package([opts.client_dir] + opts.extra, opts.out_zip, opts.size, opts.seed, opts.small_files)
    if opts.hash_file:
        with open(opts.hash_file + ".tmp", "w") as f:
            f.write(digest + "\n")
        os.replace(opts.hash_file + ".tmp", opts.hash_file)
    print("%s  %s" % (digest, os.path.basename(opts.out_zip)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
