#!/usr/bin/env python3
"""The release configuration refuses what must never ship: configures the project in temporary build trees
with VELTARA_RELEASE=ON and unsafe settings and expects each configuration to fail with its reason; and
checks the package host rule on a table of host spellings (cmake/VeltaraRelease.cmake run as a script).

Usage: check_release_config.py --source DIR [--cmake CMAKE]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

GOOD_HASH = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08"

# (host, refusal reason or None when the host may ship)
HOSTS = [
    ("dl.example.com", None),
    ("dl.example.com:8080", None),
    ("203.0.113.7", None),
    ("[2001:db8::1]:81", None),
    ("", "is empty"),
    ("127.0.0.1", "loopback"),
    ("127.8.9.10:80", "loopback"),
    ("localhost", "names this machine"),
    ("LocalHost.", "names this machine"),
    ("cdn.localhost", "names this machine"),
    ("::1", "IPv6 loopback"),
    ("[::1]:8080", "IPv6 loopback"),
    ("[0:0:0:0:0:0:0:1]", "IPv6 loopback"),
    ("[::ffff:127.0.0.1]", "loopback"),
    ("0.0.0.0", "unspecified"),
    ("[::]", "unspecified"),
    ("2130706433", "numeric address"),
    ("0x7f000001", "numeric address"),
    ("0177.0.0.1", "numeric address"),
    ("2001:db8::1", "without brackets"),
    ("http://dl.example.com", "nothing else"),
    ("dl.example.com/client", "nothing else"),
    ('dl"example', "nothing else"),
]

# (what, -D settings, text the refusal must show); every configuration is a release one.
CONFIGURATIONS = [
    ("the default loopback host", {"VELTARA_PACKAGE_SHA256": GOOD_HASH},
     'VELTARA_PACKAGE_HOST "127.0.0.1" is a loopback'),
    ("localhost", {"VELTARA_PACKAGE_HOST": "localhost", "VELTARA_PACKAGE_SHA256": GOOD_HASH},
     'VELTARA_PACKAGE_HOST "localhost" names this machine'),
    ("an empty hash", {"VELTARA_PACKAGE_HOST": "dl.example.com", "VELTARA_PACKAGE_SHA256": ""},
     'VELTARA_PACKAGE_SHA256 "" is empty'),
    ("the demo hash (the default)", {"VELTARA_PACKAGE_HOST": "dl.example.com"}, 'VELTARA_PACKAGE_SHA256 "demo"'),
    ("a short hash", {"VELTARA_PACKAGE_HOST": "dl.example.com", "VELTARA_PACKAGE_SHA256": GOOD_HASH[:63]},
     "is not 64 hex digits"),
    ("a certificate without its key",
     {"VELTARA_PACKAGE_HOST": "dl.example.com", "VELTARA_PACKAGE_SHA256": GOOD_HASH, "VELTARA_SIGN_CERT": __file__},
     "Signing needs both VELTARA_SIGN_CERT and VELTARA_SIGN_KEY"),
]


def run(cmd):
    p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return p.returncode, " ".join(p.stdout.split())


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--source", required=True)
    ap.add_argument("--cmake", default="cmake")
    args = ap.parse_args()
    rules = os.path.join(args.source, "cmake", "VeltaraRelease.cmake")
    failures = 0

    for host, reason in HOSTS:
        rc, out = run([args.cmake, "-DRELEASE=ON", "-DHOST=" + host, "-P", rules])
        ok = rc == 0 if reason is None else (rc != 0 and reason in out)
        failures += not ok
        print("%s host %-26r %s" % ("ok  " if ok else "FAIL", host,
                                     "may ship" if reason is None else "refused: " + reason), flush=True)
        if not ok:
            print("     cmake said (exit %d): %s" % (rc, out))

    scratch = tempfile.mkdtemp(prefix="veltara-release-config-")
    try:
        for i, (what, settings, reason) in enumerate(CONFIGURATIONS):
            tree = os.path.join(scratch, str(i))
            cmd = [args.cmake, "-S", args.source, "-B", tree, "-G", "Ninja", "-DVELTARA_RELEASE=ON"]
            cmd += ["-D%s=%s" % kv for kv in settings.items()]
            rc, out = run(cmd)
            ok = rc != 0 and reason in out
            failures += not ok
            print("%s release configuration with %s is refused" % ("ok  " if ok else "FAIL", what), flush=True)
            if not ok:
                print("     cmake said (exit %d): %s" % (rc, out[-2000:]))
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    print("%d failure(s)" % failures)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
