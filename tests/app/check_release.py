#!/usr/bin/env python3
"""Fails unless a Windows program is built as the installer ships: no debug assertions compiled in, stripped
of symbols and debug information, those kept in a file beside it that its debug link names (with a matching
checksum), and marked large-address-aware.

Usage: check_release.py --objdump <objdump> [--only asserts|stripped|symbols|laa] [--skip-missing] <program.exe>
--skip-missing: a program that was not built is reported as skipped (exit code 77) instead of failing.
"""
import argparse
import os
import struct
import subprocess
import sys
import zlib

from pe_image import not_built

# Texts only a build with assertions contains: the report's format and the string classes' pointer probes.
ASSERT_MARKERS = [b"assertion failed: ", b"::IsBadStringPtr"]
IMAGE_FILE_LARGE_ADDRESS_AWARE = 0x20


def sections(objdump, path):
    """Name -> (size, file offset) from objdump's section headers."""
    out = subprocess.run([objdump, "-h", path], check=True, capture_output=True, text=True).stdout
    found = {}
    for line in out.splitlines():
        fields = line.split()
        if len(fields) >= 7 and fields[0].isdigit():
            found[fields[1]] = (int(fields[2], 16), int(fields[5], 16))
    if not found:
        raise ValueError("objdump listed no sections of %s" % path)
    return found


def file_header(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    _machine, _nsections, _stamp, _symptr, nsymbols, _optsize, characteristics = struct.unpack_from(
        "<HHIIIHH", data, pe + 4)
    return nsymbols, characteristics


def check_asserts(path, data, _objdump):
    return ["assertion text %r is in the program" % m.decode() for m in ASSERT_MARKERS if m in data]


def check_stripped(path, data, objdump):
    problems = []
    nsymbols, _ = file_header(data)
    if nsymbols != 0:
        problems.append("%d symbols are left in the program" % nsymbols)
    debug = [name for name in sections(objdump, path) if name.startswith(".debug") or name.startswith(".stab")]
    if debug:
        problems.append("debug sections are left in the program: %s" % ", ".join(sorted(debug)))
    return problems


def check_symbols(path, data, objdump):
    link = sections(objdump, path).get(".gnu_debuglink")
    if link is None:
        return ["no debug link names a symbol file"]
    size, offset = link
    raw = data[offset:offset + size]
    name = raw[:raw.index(b"\0")].decode()
    crc = struct.unpack_from("<I", raw, (len(name) + 1 + 3) & ~3)[0]
    dbg = os.path.join(os.path.dirname(path), name)
    if not os.path.isfile(dbg):
        return ["the symbol file %s named by the debug link is missing" % dbg]
    problems = []
    if zlib.crc32(open(dbg, "rb").read()) & 0xFFFFFFFF != crc:
        problems.append("the symbol file %s does not match the program's debug link" % name)
    if ".debug_info" not in sections(objdump, dbg):
        problems.append("the symbol file %s holds no debug information" % name)
    return problems


def check_laa(path, data, _objdump):
    _, characteristics = file_header(data)
    return [] if characteristics & IMAGE_FILE_LARGE_ADDRESS_AWARE else ["not marked large-address-aware"]


CHECKS = {"asserts": check_asserts, "stripped": check_stripped, "symbols": check_symbols, "laa": check_laa}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--only", choices=sorted(CHECKS))
    parser.add_argument("--skip-missing", action="store_true")
    parser.add_argument("program")
    args = parser.parse_args()
    missing = not_built(args.program, args.skip_missing)
    if missing is not None:
        return missing
    data = open(args.program, "rb").read()
    failed = False
    for name, check in CHECKS.items():
        if args.only and name != args.only:
            continue
        problems = check(args.program, data, args.objdump)
        print("%s: %s: %s" % (args.program, name, "FAIL: " + "; ".join(problems) if problems else "ok"))
        failed = failed or bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
