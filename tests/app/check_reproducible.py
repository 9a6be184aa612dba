#!/usr/bin/env python3
"""A release build is reproducible and signed: builds the shipped installer (the VeltaraSetup target only)
twice from these sources, in two fresh build trees at different paths, with ccache off, as a release build
with a version of its own, signed with a throw-away certificate made here; then fails unless
- both trees give byte-identical VeltaraSetup.exe and VeltaraSetup.dbg (no time stamp, no build path, stable
  resource and skin packing; the signing time is SOURCE_DATE_EPOCH, so the signatures are equal too),
- `osslsigncode verify` accepts the signature against the throw-away certificate,
- the version resource and the manifest carry that version (check_version.py).

Usage: check_reproducible.py --source DIR [--toolchain FILE] [--keep]
The toolchain defaults to the shipped (i686) one. --keep leaves the trees in the temporary folder.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from pe_image import PEImage  # noqa: E402
from throwaway_cert import make_certificate, missing_tools  # noqa: E402

VERSION = "2.3.4.5"
HASH = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08"
EPOCH = "1700000000"


def run(cmd, env=None, log=None):
    p = subprocess.run(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if log:
        with open(log, "a") as f:
            f.write("$ %s\n%s\n" % (" ".join(cmd), p.stdout))
    if p.returncode != 0:
        raise RuntimeError("%s failed (exit %d):\n%s" % (" ".join(cmd[:3]), p.returncode, p.stdout[-4000:]))
    return p.stdout


def first_difference(a, b):
    """Where two files first differ, with the section of the program (if any) that holds that byte."""
    da, db = open(a, "rb").read(), open(b, "rb").read()
    n = next((i for i in range(min(len(da), len(db))) if da[i] != db[i]), min(len(da), len(db)))
    where = "offset %#x" % n
    if a.endswith(".exe") or a.endswith(".dbg"):
        try:
            section = PEImage(a).section_at(n)
            if section:
                where += " (section %s)" % section
        except ValueError:
            pass
    return "%s (sizes %d and %d)" % (where, len(da), len(db))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--source", required=True)
    ap.add_argument("--toolchain", default=None)
    ap.add_argument("--keep", action="store_true")
    args = ap.parse_args()
    if missing_tools():
        print("FAIL " + missing_tools())
        return 1
    source = os.path.abspath(args.source)
    toolchain = args.toolchain or os.path.join(source, "cmake", "toolchain-i686-mingw.cmake")
    scratch = tempfile.mkdtemp(prefix="veltara-repro-")
    # Two trees whose paths differ in length too, so that a leaked path also moves everything after it.
    trees = [os.path.join(scratch, "a"), os.path.join(scratch, "second-tree", "b")]
    env = dict(os.environ, CCACHE_DISABLE="1", SOURCE_DATE_EPOCH=EPOCH)
    log = os.path.join(scratch, "build.log")
    failures = []
    try:
        cert, key = make_certificate(scratch)
        for tree in trees:
            started = time.monotonic()
            run(["cmake", "-S", source, "-B", tree, "-G", "Ninja", "-DCMAKE_TOOLCHAIN_FILE=" + toolchain,
                 "-DCMAKE_C_COMPILER_LAUNCHER=", "-DCMAKE_CXX_COMPILER_LAUNCHER=", "-DVELTARA_RELEASE=ON",
                 "-DVELTARA_PACKAGE_HOST=dl.example.com", "-DVELTARA_PACKAGE_SHA256=" + HASH,
                 "-DVELTARA_VERSION=" + VERSION, "-DVELTARA_SIGN_CERT=" + cert, "-DVELTARA_SIGN_KEY=" + key],
                env=env, log=log)
            run(["ninja", "-C", tree, "VeltaraSetup"], env=env, log=log)
            print("built %s in %.0f s" % (tree, time.monotonic() - started), flush=True)

        for name in ("VeltaraSetup.exe", "VeltaraSetup.dbg"):
            a, b = (os.path.join(t, "app", name) for t in trees)
            same = open(a, "rb").read() == open(b, "rb").read()
            print("%s %s is byte-identical in both trees" % ("ok  " if same else "FAIL", name))
            if not same:
                failures.append("%s differs at %s" % (name, first_difference(a, b)))

        exe = os.path.join(trees[0], "app", "VeltaraSetup.exe")
        p = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", exe],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        verified = p.returncode == 0 and "Signature verification: ok" in p.stdout
        print("%s the signature verifies against the throw-away certificate" % ("ok  " if verified else "FAIL"))
        if not verified:
            failures.append("osslsigncode verify (exit %d):\n%s" % (p.returncode, p.stdout[-3000:]))

        p = subprocess.run([sys.executable, os.path.join(HERE, "check_version.py"), "--version", VERSION,
                            "--publisher", "Veltara Games", "--copyright", "Copyright (C) Veltara Games",
                            "--description", "Veltara client installer", "--product", "Veltara",
                            "--file-name", "VeltaraSetup.exe", exe],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        print(p.stdout, end="")
        if p.returncode != 0:
            failures.append("the version resource or the manifest does not carry version %s" % VERSION)
    except RuntimeError as e:
        failures.append(str(e))
    finally:
        if args.keep:
            print("trees kept in %s (build log: %s)" % (scratch, log))
        else:
            shutil.rmtree(scratch, ignore_errors=True)
    for f in failures:
        print("FAIL " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
