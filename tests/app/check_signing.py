#!/usr/bin/env python3
"""The build's signing step on the installer, with a throw-away certificate made here: the signed program
verifies with `osslsigncode verify`, a changed byte breaks the verification, a key that does not belong to
the certificate fails the step and leaves no program behind, and the signed program still runs under Wine
(the window test of test_app_entry, started on the signed copy).

Usage: check_signing.py --source DIR --build DIR --installer VeltaraSetup.exe --entry-test test_app_entry.exe
"""
import argparse
import os
import shutil
import subprocess
import sys

from throwaway_cert import make_certificate, missing_tools


def run(cmd, **kw):
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kw)


def sign(source, program, cert, key):
    return run(["cmake", "-DPROGRAM=" + program, "-DOSSLSIGNCODE=" + shutil.which("osslsigncode"), "-DCERT=" + cert,
                "-DKEY=" + key, "-DDESCRIPTION=Veltara client installer",
                "-P", os.path.join(source, "cmake", "SignProgram.cmake")])


def verifies(program, cert):
    p = run(["osslsigncode", "verify", "-CAfile", cert, "-in", program])
    return p.returncode == 0 and "Signature verification: ok" in p.stdout, p.stdout


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--source", required=True)
    ap.add_argument("--build", required=True)
    ap.add_argument("--installer", required=True)
    ap.add_argument("--entry-test", required=True)
    args = ap.parse_args()
    if missing_tools():
        print("FAIL " + missing_tools())
        return 1
    work = os.path.join(args.build, "tests", "app", "signing")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    results = []

    def report(ok, what, detail=""):
        results.append(ok)
        print("%s %s" % ("ok  " if ok else "FAIL", what), flush=True)
        if not ok and detail:
            print("     " + detail.strip().replace("\n", "\n     "))

    cert, key = make_certificate(work)
    _other_cert, other_key = make_certificate(work, "stranger")

    signed = os.path.join(work, "VeltaraSetup.exe")
    shutil.copy(args.installer, signed)
    p = sign(args.source, signed, cert, key)
    report(p.returncode == 0 and os.path.isfile(signed), "the signing step signs the installer", p.stdout)
    ok, out = verifies(signed, cert)
    report(ok, "osslsigncode verify accepts the signed installer", out)

    tampered = os.path.join(work, "tampered.exe")
    data = bytearray(open(signed, "rb").read())
    data[len(data) // 3] ^= 0xFF
    open(tampered, "wb").write(bytes(data))
    ok, out = verifies(tampered, cert)
    report(not ok, "osslsigncode verify refuses the installer with one byte changed", out)

    wrong = os.path.join(work, "wrong-key.exe")
    shutil.copy(args.installer, wrong)
    p = sign(args.source, wrong, cert, other_key)
    report(p.returncode != 0 and not os.path.exists(wrong),
           "signing with a key that is not the certificate's fails and leaves no program", p.stdout)

    p = run([os.path.join(args.source, "tools", "wine-run.sh"), "--build", args.build, args.entry_test,
             "--gtest_color=no", "--gtest_filter=InstallerEntry.ShowsTheCentredWindowAndExitsWithZeroWhenClosed",
             signed], timeout=120)
    report(p.returncode == 0 and "[  PASSED  ] 1 test" in p.stdout, "the signed installer runs under Wine", p.stdout)
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
