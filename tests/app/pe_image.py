"""Reads what the build's checks need from a Windows program (a PE file), on the build machine: the machine
type, the import and delay-import tables and the resources. Used by check_imports.py and check_version.py."""
import os
import struct

MACHINE_I386 = 0x14C
MACHINE_AMD64 = 0x8664

RT_VERSION = 16
RT_MANIFEST = 24

_DIR_IMPORT = 1
_DIR_RESOURCE = 2
_DIR_DELAY_IMPORT = 13


def not_built(path, skip_missing):
    """None when the program exists; else says so and gives the exit code: 77 (skipped) with skip_missing,
    else 1."""
    if os.path.isfile(path):
        return None
    print("%s: not built" % path)
    return 77 if skip_missing else 1


class PEImage:
    def __init__(self, path):
        self.path = path
        self.data = open(path, "rb").read()
        data = self.data
        if data[:2] != b"MZ":
            raise ValueError("%s: not a Windows program" % path)
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("%s: not a PE file" % path)
        self.machine, nsections = struct.unpack_from("<HH", data, pe + 4)
        opt_size = struct.unpack_from("<H", data, pe + 20)[0]
        opt = pe + 24
        magic = struct.unpack_from("<H", data, opt)[0]
        self.is64 = magic == 0x20B
        self.image_base = struct.unpack_from("<Q" if self.is64 else "<I", data, opt + (24 if self.is64 else 28))[0]
        ndirs_at = opt + (108 if self.is64 else 92)
        ndirs = struct.unpack_from("<I", data, ndirs_at)[0]
        self._dirs = [struct.unpack_from("<II", data, ndirs_at + 4 + 8 * i) for i in range(ndirs)]
        self._sections = []
        sec = opt + opt_size
        self._headers_end = sec + 40 * nsections
        self._names = []
        for i in range(nsections):
            vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, sec + 40 * i + 8)
            self._sections.append((va, max(vsize, rawsize), rawptr))
            self._names.append((data[sec + 40 * i:sec + 40 * i + 8].rstrip(b"\0").decode("ascii", "replace"),
                                rawptr, rawsize))

    def _dir(self, index):
        return self._dirs[index] if index < len(self._dirs) else (0, 0)

    def offset(self, rva):
        for va, size, raw in self._sections:
            if va <= rva < va + size:
                return rva - va + raw
        raise ValueError("rva %#x outside every section" % rva)

    def section_at(self, offset):
        """Name of what holds a file offset: "headers", a section's name (long names show as /<n>), or None."""
        if offset < self._headers_end:
            return "headers"
        for name, raw, size in self._names:
            if raw <= offset < raw + size:
                return name
        return None

    def _cstring(self, rva):
        o = self.offset(rva)
        return self.data[o:self.data.index(b"\0", o)].decode("ascii")

    def imports(self):
        """Lower-case names of the DLLs in the import table (loaded before the program's entry runs)."""
        rva, _size = self._dir(_DIR_IMPORT)
        names = []
        if rva == 0:
            return names
        d = self.offset(rva)
        while True:
            ilt, _stamp, _chain, name_rva, iat = struct.unpack_from("<IIIII", self.data, d)
            if ilt == 0 and name_rva == 0 and iat == 0:
                return names
            names.append(self._cstring(name_rva).lower())
            d += 20

    def delay_imports(self):
        """Lower-case names of the DLLs in the delay-import table (loaded by bare name on first call)."""
        rva, _size = self._dir(_DIR_DELAY_IMPORT)
        names = []
        if rva == 0:
            return names
        d = self.offset(rva)
        while True:
            attrs, name = struct.unpack_from("<II", self.data, d)
            if attrs == 0 and name == 0:
                return names
            # Bit 0 of the attributes: the fields are RVAs; without it they are addresses.
            names.append(self._cstring(name if attrs & 1 else name - self.image_base).lower())
            d += 32

    def resource(self, type_id, name_id=None):
        """Bytes of the resource of a numeric type (and numeric name, else the first), first language; None
        when there is none."""
        rva, _size = self._dir(_DIR_RESOURCE)
        if rva == 0:
            return None
        base = self.offset(rva)

        def entries(at):
            named, ids = struct.unpack_from("<HH", self.data, base + at + 12)
            for i in range(named + ids):
                key, target = struct.unpack_from("<II", self.data, base + at + 16 + 8 * i)
                yield (None if key & 0x80000000 else key), target

        def find(at, wanted):
            for key, target in entries(at):
                if key is not None and (wanted is None or key == wanted):
                    return target
            return None

        level = 0
        for wanted in (type_id, name_id, None):
            target = find(level, wanted)
            if target is None:
                return None
            if target & 0x80000000:
                level = target & 0x7FFFFFFF
            else:
                data_rva, size = struct.unpack_from("<II", self.data, base + target)
                o = self.offset(data_rva)
                return self.data[o:o + size]
        return None
