#!/usr/bin/env python3
"""Fails when a Windows program imports, as a plain (load-time) import, a DLL that is not on the system's
known-DLLs list. Such a DLL would be looked for in the folder the program was started from, where a planted
copy could be loaded into an elevated process. Those DLLs must be loaded at run time from the system folder.

Usage: check_imports.py <program.exe> [...]
"""
import struct
import sys

# Resolved from the system's known-DLLs list (or, for comctl32, from the side-by-side store named in the
# manifest), never from the program's folder.
ALLOWED = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll", "oleaut32.dll",
    "shlwapi.dll", "comdlg32.dll", "comctl32.dll", "msvcrt.dll", "rpcrt4.dll", "ws2_32.dll", "imm32.dll",
    "setupapi.dll", "psapi.dll", "normaliz.dll", "nsi.dll", "sechost.dll", "combase.dll", "wldap32.dll",
    "imagehlp.dll", "difxapi.dll", "msctf.dll", "clbcatq.dll", "coml2.dll", "shcore.dll",
}


def imports(path):
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    nsections = struct.unpack_from("<H", data, pe + 6)[0]
    opt_size = struct.unpack_from("<H", data, pe + 20)[0]
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    dirs = opt + (96 if magic == 0x10B else 112)
    import_rva = struct.unpack_from("<I", data, dirs + 8)[0]
    sections = []
    sec = opt + opt_size
    for i in range(nsections):
        vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, sec + 40 * i + 8)
        sections.append((va, max(vsize, rawsize), rawptr))

    def off(rva):
        for va, size, raw in sections:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError("rva %#x outside every section" % rva)

    names = []
    if import_rva == 0:
        return names
    d = off(import_rva)
    while True:
        ilt, _ts, _fw, name_rva, iat = struct.unpack_from("<IIIII", data, d)
        if ilt == 0 and name_rva == 0 and iat == 0:
            break
        o = off(name_rva)
        names.append(data[o:data.index(b"\0", o)].decode("ascii").lower())
        d += 20
    return names


def main():
    bad = False
    for path in sys.argv[1:]:
        found = imports(path)
        print("%s imports: %s" % (path, ", ".join(found)))
        if "kernel32.dll" not in found:
            print("  suspicious: no kernel32.dll import was found; the parser may be wrong")
            bad = True
        for name in found:
            if name not in ALLOWED:
                print("  FORBIDDEN plain import: %s (load it from the system folder at run time)" % name)
                bad = True
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
