#!/usr/bin/env python3
"""Fails when a Windows program imports the ANSI form ("...A") of a system call: text must cross into the
system in UTF-16, converted by the program's own helpers, never through the system's ANSI code page.

Usage: check_wide_calls.py --objdump OBJDUMP [--skip-missing] <program.exe>
(--skip-missing: exit 77, "skipped", when the program has not been built.)
The few ANSI imports that are allowed are listed below, each with the reason; an allowed one that is no longer
imported is reported so that the list can shrink.
"""
import argparse
import os
import re
import subprocess
import sys

ALLOWED = {
    # The C and C++ runtime and its thread library, linked in statically: no text of ours passes through them.
    "GetStartupInfoA": "C runtime start-up",
    "LoadLibraryA": "32-bit C runtime start-up (the exception tables' helper library)",
    "GetModuleHandleA": "32-bit C runtime start-up (the exception tables' helper library)",
    "OutputDebugStringA": "C++ runtime diagnostics",
    "CreateSemaphoreA": "thread library, unnamed semaphores",
    "CreateEventA": "zip reader, unnamed events (no text)",
    # Formats bytes into bytes ("%d", "%s" of GBK text): no code page is involved.
    "wvnsprintfA": "byte formatting of the string class and the debug trace",
    "PostMessageA": "package unpacker's progress messages (no text)",
}

ANSI = re.compile(r"^[A-Za-z0-9_]*[a-z0-9]A$")


def imported_functions(objdump, path):
    out = subprocess.run([objdump, "-p", path], stdout=subprocess.PIPE, check=True, text=True).stdout
    dll = None
    found = []
    for line in out.splitlines():
        m = re.match(r"\s*DLL Name:\s*(\S+)", line)
        if m:
            dll = m.group(1)
            continue
        m = re.match(r"\s*[0-9a-fA-F]+\s+\d+\s+(\S+)\s*$", line)
        if m and dll:
            found.append((dll, m.group(1)))
    return found


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--objdump", required=True)
    ap.add_argument("--skip-missing", action="store_true")
    ap.add_argument("program")
    opts = ap.parse_args()
    if opts.skip_missing and not os.path.exists(opts.program):
        print("%s is not built: skipped" % opts.program)
        return 77
    functions = imported_functions(opts.objdump, opts.program)
    if not functions:
        print("no imported functions found in %s; the reader may be wrong" % opts.program)
        return 1
    names = {name for _dll, name in functions}
    bad = sorted((dll, name) for dll, name in functions if ANSI.match(name) and name not in ALLOWED)
    for dll, name in bad:
        print("ANSI call: %s!%s (use the wide form and the text helpers)" % (dll, name))
    for name in sorted(set(ALLOWED) - names):
        print("note: %s is allowed (%s) but no longer imported" % (name, ALLOWED[name]))
    print("%d functions imported, %d ANSI calls outside the allowed list" % (len(functions), len(bad)))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
