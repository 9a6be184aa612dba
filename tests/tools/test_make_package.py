#!/usr/bin/env python3
"""Tests of tools/make_package.py, the publisher's package script: layout, filler, determinism, printed hash."""
import hashlib
import os
import subprocess
import sys
import tempfile
import unittest
import zipfile

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
SCRIPT = os.path.join(ROOT, "tools", "make_package.py")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make(args):
    r = subprocess.run([sys.executable, SCRIPT] + args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    return r.returncode, r.stdout, r.stderr


class MakePackageTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.dir = self.tmp.name
        self.client = os.path.join(self.dir, "client")
        write(os.path.join(self.client, "VeltaraClient.exe"), b"MZ" + bytes(range(256)) * 40)
        write(os.path.join(self.client, "config", "client.ini"), b"[client]\nlanguage=zh_CN\n")
        write(os.path.join(self.client, "res", "说明.txt"), "资源\r\n".encode("utf-8"))
        self.extra = os.path.join(self.dir, "extra")
        write(os.path.join(self.extra, "config", "client.ini"), b"[client]\nlanguage=en\n")
        write(os.path.join(self.extra, "readme.txt"), b"readme\n")

    def tearDown(self):
        self.tmp.cleanup()

    def test_archive_holds_the_client_below_the_top_folder(self):
        # case, extra arguments, expected files (name -> bytes or None for "from the client folder")
        rows = [
            ("client only", [], {"VeltaraClient.exe": None, "config/client.ini": None, "res/说明.txt": None}),
            ("extra folder replaces and adds", ["--extra", self.extra],
             {"VeltaraClient.exe": None, "config/client.ini": b"[client]\nlanguage=en\n",
              "res/说明.txt": None, "readme.txt": b"readme\n"}),
        ]
        for case, extra, want in rows:
            with self.subTest(case):
                out = os.path.join(self.dir, "out", case.replace(" ", "_") + ".zip")
                rc, _stdout, err = make([self.client, out] + extra)
                self.assertEqual(rc, 0, err)
                with zipfile.ZipFile(out) as zf:
                    self.assertIsNone(zf.testzip())
                    names = zf.namelist()
                    files = {n[len("VeltaraClient/"):]: zf.read(n) for n in names if not n.endswith("/")}
                    self.assertTrue(all(n.startswith("VeltaraClient/") for n in names), names)
                    self.assertEqual(names[0], "VeltaraClient/")
                    # Every folder of a file comes as its own item before the file.
                    for n in names:
                        parent = n.rstrip("/").rsplit("/", 1)[0] + "/"
                        if n != "VeltaraClient/":
                            self.assertIn(parent, names[:names.index(n)], n)
                self.assertEqual(sorted(files), sorted(want))
                for name, data in want.items():
                    if data is None:
                        with open(os.path.join(self.client, name), "rb") as f:
                            data = f.read()
                    self.assertEqual(files[name], data, name)

    def test_filler_reaches_the_size_with_mixed_content(self):
        # archive size, small files
        for size, small in ((300_000, 0), (1_500_000, 0), (1_000_000, 400)):
            with self.subTest(size=size, small=small):
                out = os.path.join(self.dir, "filler-%d-%d.zip" % (size, small))
                rc, _stdout, err = make([self.client, out, "--size", str(size), "--small-files", str(small)])
                self.assertEqual(rc, 0, err)
                self.assertGreater(os.path.getsize(out), size * 0.9)
                self.assertLess(os.path.getsize(out), size * 1.1)
                with zipfile.ZipFile(out) as zf:
                    self.assertIsNone(zf.testzip())
                    filler = [i for i in zf.infolist()
                              if i.filename.startswith("VeltaraClient/data/") and not i.filename.endswith("/")]
                    folders = {i.filename.split("/")[2] for i in filler}
                    ratios = [i.compress_size / i.file_size for i in filler]
                    scripts = [i for i in filler if i.filename.startswith("VeltaraClient/data/scripts/")]
                self.assertEqual(len(scripts), small)
                self.assertTrue(all(100 <= i.file_size < 3000 for i in scripts))
                filler = [i for i in filler if i not in scripts]
                ratios = [i.compress_size / i.file_size for i in filler]
                self.assertGreaterEqual(len(filler), 4)
                self.assertGreaterEqual(len(folders), 2, folders)
                self.assertTrue(any(r > 0.95 for r in ratios), ratios)  # incompressible files
                self.assertTrue(any(r < 0.6 for r in ratios), ratios)  # compressible files

    def test_same_input_gives_the_same_bytes_and_the_printed_hash(self):
        # case, arguments of the second run, same bytes as the first
        rows = [
            ("same seed", ["--size", "200k", "--seed", "3"], True),
            ("other seed", ["--size", "200k", "--seed", "4"], False),
        ]
        first = os.path.join(self.dir, "first.zip")
        rc, stdout, err = make([self.client, first, "--size", "200k", "--seed", "3"])
        self.assertEqual(rc, 0, err)
        with open(first, "rb") as f:
            first_bytes = f.read()
        self.assertEqual(stdout.split(), [hashlib.sha256(first_bytes).hexdigest(), "first.zip"])
        for case, args, same in rows:
            with self.subTest(case):
                second = os.path.join(self.dir, "second.zip")
                hash_file = os.path.join(self.dir, "second.sha256")
                os.utime(os.path.join(self.client, "VeltaraClient.exe"), (1, 1))  # file times do not matter
                rc, stdout, err = make([self.client, second, "--hash-file", hash_file] + args)
                self.assertEqual(rc, 0, err)
                with open(second, "rb") as f:
                    data = f.read()
                with open(hash_file) as f:
                    self.assertEqual(f.read().strip(), hashlib.sha256(data).hexdigest())
                self.assertEqual(data == first_bytes, same)

    def test_bad_arguments_are_refused(self):
        rows = [
            ("missing client folder", [os.path.join(self.dir, "nope"), os.path.join(self.dir, "x.zip")]),
            ("bad size", [self.client, os.path.join(self.dir, "x.zip"), "--size", "lots"]),
            ("negative size", [self.client, os.path.join(self.dir, "x.zip"), "--size", "-5"]),
        ]
        for case, args in rows:
            with self.subTest(case):
                rc, _stdout, _err = make(args)
                self.assertNotEqual(rc, 0)
                self.assertFalse(os.path.exists(os.path.join(self.dir, "x.zip")))


if __name__ == "__main__":
    unittest.main()
