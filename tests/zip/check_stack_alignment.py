#!/usr/bin/env python3
"""Checks 32-bit Windows code for SSE accesses that need a 16-byte aligned stack without making one.

Usage: check_stack_alignment.py <objdump> <object, library or exe>...

32-bit Windows starts threads and calls window procedures with a stack aligned to 4 bytes only (Wine
happens to give 16). An SSE instruction that needs an aligned operand (movaps, movdqa, or a packed SSE
operation with a memory operand such as pxor 0x10(%esp),%xmm2) on an %esp or %ebp based address then
faults. Every function that has such an access must realign its stack first (and $-16,%esp in its
prologue, which the compiler emits with -mincoming-stack-boundary=2).

Prints every offending function with the instruction and exits 1; exits 0 when there is none (and says how
many functions with aligned stack accesses it found realigning).
"""
import re
import subprocess
import sys

FUNC = re.compile(r"^[0-9a-f]+ <(.+)>:$")
INSN = re.compile(r"^\s*[0-9a-f]+:\s+(?:[0-9a-f]{2} )+\s*([a-z][a-z0-9.]*)\s+(.*)$")
STACK_MEMORY = re.compile(r"\(%e[sb]p(,[^)]*)?\)")
REALIGN = re.compile(r"^and\s+\$0xff+[0-9a-f]0,%esp$")
# SSE instructions whose memory operand may lie anywhere: unaligned moves and the scalar or 32/64-bit forms.
UNALIGNED_OK = re.compile(
    r"^(movups|movupd|movdqu|lddqu|movd|movq|movss|movsd|movlps|movhps|movlpd|movhpd|movnti|"
    r"pinsr[bwdq]|pextr[bwdq]|extractps|insertps|pmov[sz]x[a-z]+|cvt[a-z0-9]+|"
    r"[a-z]+ss|[a-z]+sd|comis[sd]|ucomis[sd]|v[a-z0-9]+)$")


def disassemble(objdump, path):
    return subprocess.run([objdump, "-d", "-w", path], check=True,
                          stdout=subprocess.PIPE, universal_newlines=True).stdout


def scan(text):
    """(function, realigns, [aligned stack accesses]) for every function in the disassembly."""
    out, name, realigns, hits = [], None, False, []
    for line in text.splitlines():
        m = FUNC.match(line)
        if m:
            if name is not None:
                out.append((name, realigns, hits))
            name, realigns, hits = m.group(1), False, []
            continue
        m = INSN.match(line)
        if not m or name is None:
            continue
        mnemonic, operands = m.group(1), m.group(2).split("#")[0].strip()
        if REALIGN.match(mnemonic + " " + operands.replace(" ", "")):
            realigns = True
        elif "%xmm" in operands and STACK_MEMORY.search(operands) and not UNALIGNED_OK.match(mnemonic):
            hits.append(mnemonic + " " + operands)
    if name is not None:
        out.append((name, realigns, hits))
    return out


def main():
    if len(sys.argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    objdump, bad, good = sys.argv[1], 0, 0
    for path in sys.argv[2:]:
        for name, realigns, hits in scan(disassemble(objdump, path)):
            if not hits:
                continue
            if realigns:
                good += 1
                continue
            bad += 1
            print("%s: %s uses the stack with aligned SSE accesses and never realigns it:" % (path, name))
            for hit in hits[:5]:
                print("    " + hit)
    if bad:
        print("%d function(s) would fault on a 4-byte aligned stack" % bad)
        return 1
    print("stack alignment: no unaligned SSE stack access (%d realigning functions)" % good)
    return 0


if __name__ == "__main__":
    sys.exit(main())
