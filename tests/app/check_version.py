#!/usr/bin/env python3
"""Fails unless a Windows program carries the version resource and the manifest the installer ships with: the
version resource's numbers and texts as given, and a manifest whose own version is the same, whose
architecture is the program's, that names Windows 7, 8, 8.1 and 10/11 as supported, and that states the
DPI awareness explicitly: per monitor (version 2 first) where the system knows it, system-aware (dpiAware
true) below, one statement of each.

Usage: check_version.py --version 1.2.3.4 --publisher P --copyright C --description D --product N
                        --file-name F [--skip-missing] <program.exe>
"""
import argparse
import struct
import sys
import xml.etree.ElementTree as ET

from pe_image import MACHINE_AMD64, MACHINE_I386, RT_MANIFEST, RT_VERSION, PEImage, not_built

SUPPORTED_OS = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11",
}
ARCH = {MACHINE_I386: "x86", MACHINE_AMD64: "amd64"}
NS = {
    "v1": "urn:schemas-microsoft-com:asm.v1",
    "v3": "urn:schemas-microsoft-com:asm.v3",
    "compat": "urn:schemas-microsoft-com:compatibility.v1",
    "ws2005": "http://schemas.microsoft.com/SMI/2005/WindowsSettings",
    "ws2016": "http://schemas.microsoft.com/SMI/2016/WindowsSettings",
}


def version_nodes(data, at=0):
    """One node of a version resource: (key, value bytes or text, children), and where the next one starts."""
    length, value_length, is_text = struct.unpack_from("<HHH", data, at)
    end = at + length
    key_end = at + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[at + 6:key_end].decode("utf-16-le")
    pos = (key_end + 2 + 3) & ~3
    if is_text:
        value = data[pos:pos + 2 * value_length].decode("utf-16-le").rstrip("\0")
        pos += 2 * value_length
    else:
        value = data[pos:pos + value_length]
        pos += value_length
    children = []
    pos = (pos + 3) & ~3
    while pos < end:
        child, pos = version_nodes(data, pos)
        children.append(child)
    return (key, value, children), (end + 3) & ~3


def read_version(raw):
    """(file version, product version, {string name: text}, [translations]) of a version resource."""
    (key, fixed, children), _ = version_nodes(raw)
    if key != "VS_VERSION_INFO" or len(fixed) < 52 or struct.unpack_from("<I", fixed)[0] != 0xFEEF04BD:
        raise ValueError("the version resource is not a VS_VERSION_INFO with fixed file information")
    fms, fls, pms, pls = struct.unpack_from("<IIII", fixed, 8)
    numbers = lambda ms, ls: "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    strings, translations = {}, []
    for name, _value, blocks in children:
        if name == "StringFileInfo":
            for _lang, _v, values in blocks:
                strings.update({k: v for k, v, _c in values})
        elif name == "VarFileInfo":
            for k, v, _c in blocks:
                if k == "Translation":
                    translations += [struct.unpack_from("<HH", v, i) for i in range(0, len(v), 4)]
    return numbers(fms, fls), numbers(pms, pls), strings, translations


def check_version_resource(image, want):
    raw = image.resource(RT_VERSION)
    if raw is None:
        return ["no version resource"]
    file_version, product_version, strings, translations = read_version(raw)
    problems = []
    for what, got in (("file version", file_version), ("product version", product_version)):
        if got != want["version"]:
            problems.append("%s is %s, not %s" % (what, got, want["version"]))
    expected = {
        "FileVersion": want["version"], "ProductVersion": want["version"], "CompanyName": want["publisher"],
        "LegalCopyright": want["copyright"], "FileDescription": want["description"], "ProductName": want["product"],
        "OriginalFilename": want["file_name"],
    }
    for name, value in expected.items():
        if strings.get(name) != value:
            problems.append("%s is %r, not %r" % (name, strings.get(name), value))
    if not translations:
        problems.append("the version resource names no translation")
    return problems


def check_manifest(image, want):
    raw = image.resource(RT_MANIFEST, 1)
    if raw is None:
        return ["no manifest (RT_MANIFEST 1)"]
    root = ET.fromstring(raw)
    problems = []
    identity = root.find("v1:assemblyIdentity", NS)
    if identity is None:
        return ["the manifest has no assemblyIdentity"]
    if identity.get("version") != want["version"]:
        problems.append("the manifest's version is %s, not %s" % (identity.get("version"), want["version"]))
    arch = ARCH.get(image.machine)
    if identity.get("processorArchitecture") != arch:
        problems.append("the manifest's architecture is %s; the program's is %s"
                        % (identity.get("processorArchitecture"), arch))
    supported = root.findall("compat:compatibility/compat:application/compat:supportedOS", NS)
    named = {e.get("Id", "").lower() for e in supported}
    for guid, system in SUPPORTED_OS.items():
        if guid not in named:
            problems.append("the manifest does not name %s as supported" % system)
    dpi = root.findall("v3:application/v3:windowsSettings/ws2005:dpiAware", NS)
    if len(dpi) != 1:
        problems.append("the manifest has %d dpiAware statements, not one" % len(dpi))
    elif (dpi[0].text or "").strip().lower() != "true":
        problems.append("dpiAware is %r, not true" % dpi[0].text)
    awareness = root.findall("v3:application/v3:windowsSettings/ws2016:dpiAwareness", NS)
    if len(awareness) != 1:
        problems.append("the manifest has %d dpiAwareness statements, not one" % len(awareness))
    else:
        # The system takes the first value it knows: version 2 must come first.
        values = [v.strip().lower() for v in (awareness[0].text or "").split(",")]
        if not values or values[0] != "permonitorv2":
            problems.append("dpiAwareness is %r, not PerMonitorV2 first" % awareness[0].text)
    return problems


def main():
    ap = argparse.ArgumentParser()
    for name in ("version", "publisher", "copyright", "description", "product", "file-name"):
        ap.add_argument("--" + name, required=True)
    ap.add_argument("--skip-missing", action="store_true")
    ap.add_argument("program")
    args = ap.parse_args()
    missing = not_built(args.program, args.skip_missing)
    if missing is not None:
        return missing
    want = vars(args)
    image = PEImage(args.program)
    failed = False
    for name, check in (("version resource", check_version_resource), ("manifest", check_manifest)):
        problems = check(image, want)
        print("%s: %s: %s" % (args.program, name, "FAIL: " + "; ".join(problems) if problems else "ok"))
        failed = failed or bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
