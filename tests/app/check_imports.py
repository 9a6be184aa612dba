#!/usr/bin/env python3
"""Fails when a Windows program imports at load time a DLL that is not on the known-DLLs list of every Windows
from 7 to 11. The loader looks for any other DLL in the program's folder first: the installer runs elevated
and is usually started from a downloads folder, where a planted copy would then run inside it before its
entry point (and so before its own DLL search hardening). Such DLLs must be loaded at run time, by full path
from the system folder. Delay-loaded DLLs (loaded by bare name on first call) are held to the same list.

Usage: check_imports.py [--expect-refused a.dll,b.dll] [--skip-missing] <program.exe> [...]
--expect-refused: passes only when exactly these DLLs are refused (proves on a canary that the check bites).
--skip-missing: a program that was not built is reported as skipped (exit code 77) instead of failing.
"""
import argparse
import sys

from pe_image import PEImage, not_built

# On the known-DLLs list (HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs, KnownDLLs32 for a
# 32-bit program on 64-bit Windows) of Windows 7, 8, 8.1, 10 and 11: the loader maps these from the system's
# own sections and never searches for them. The session manager maps each known DLL's own load-time imports
# into the same set (ntdll, kernelbase, gdi32full, win32u, combase, windows.storage, ...), so their
# dependencies are known as well.
ALLOWED = {
    "kernel32.dll": "known on 7-11",
    "user32.dll": "known on 7-11",
    "gdi32.dll": "known on 7-11",
    "advapi32.dll": "known on 7-11",
    "shell32.dll": "known on 7-11",
    "shlwapi.dll": "known on 7-11",
    "ole32.dll": "known on 7-11 (its combase, from 8 on, comes with it)",
    "oleaut32.dll": "known on 7-11",
    "comdlg32.dll": "known on 7-11",
    "msvcrt.dll": "known on 7-11; the C runtime mingw-w64 programs use",
    "rpcrt4.dll": "known on 7-11",
    "ws2_32.dll": "known on 7-11",
    "imm32.dll": "known on 7-11",
    "msctf.dll": "known on 7-11",
    "psapi.dll": "known on 7-11",
    "setupapi.dll": "known on 7-11",
    "imagehlp.dll": "known on 7-11",
    "normaliz.dll": "known on 7-11",
    "nsi.dll": "known on 7-11",
    "sechost.dll": "known on 7-11",
    "wldap32.dll": "known on 7-11",
    "clbcatq.dll": "known on 7-11",
}

# Why some DLLs a program of ours might import are refused (any DLL not in ALLOWED is refused).
REFUSED = {
    "comctl32.dll": "never a known DLL; the manifest's side-by-side redirection is the only thing that keeps "
                    "the program's folder out, and its own imports are not guaranteed known",
    "shcore.dll": "known only from 8.1 on, not on 7",
    "combase.dll": "known from 8 on only (it does not exist on 7)",
    "coml2.dll": "known from 8 on only",
    "gdiplus.dll": "known from 10 on only",
    "wininet.dll": "known on 7 only",
    "urlmon.dll": "known on 7 only",
    "msimg32.dll": "never a known DLL",
    "msftedit.dll": "never a known DLL",
    "uxtheme.dll": "never a known DLL",
    "dwmapi.dll": "never a known DLL",
    "version.dll": "never a known DLL",
}


def refused_imports(image):
    """(dll, kind, reason) for every import the rule refuses."""
    found = []
    for kind, names in (("plain", image.imports()), ("delay-load", image.delay_imports())):
        for name in names:
            if name not in ALLOWED:
                found.append((name, kind, REFUSED.get(name, "not on the known-DLLs list of Windows 7 to 11")))
    return found


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--expect-refused", default=None)
    ap.add_argument("--skip-missing", action="store_true")
    ap.add_argument("programs", nargs="+")
    args = ap.parse_args()
    bad = False
    refused_all = set()
    for path in args.programs:
        missing = not_built(path, args.skip_missing)
        if missing == 77:
            return missing
        if missing is not None:
            bad = True
            continue
        image = PEImage(path)
        plain = image.imports()
        print("%s imports: %s" % (path, ", ".join(plain)))
        if image.delay_imports():
            print("%s delay-loads: %s" % (path, ", ".join(image.delay_imports())))
        if "kernel32.dll" not in plain:
            print("  suspicious: no kernel32.dll import was found; the parser may be wrong")
            bad = True
        for name, kind, reason in refused_imports(image):
            print("  FORBIDDEN %s import: %s: %s (load it at run time from the system folder)" % (kind, name, reason))
            refused_all.add(name)
    if args.expect_refused is not None:
        expected = set(n.strip().lower() for n in args.expect_refused.split(",") if n.strip())
        if refused_all != expected:
            print("the check refused %s, expected %s" % (sorted(refused_all), sorted(expected)))
            return 1
        print("the check refused exactly %s, as expected" % sorted(expected))
        return 1 if bad else 0
    return 1 if bad or refused_all else 0


if __name__ == "__main__":
    sys.exit(main())
