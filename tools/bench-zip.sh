#!/usr/bin/env bash
# Benchmarks the zip reader under Wine and prints its figures.
#   tools/bench-zip.sh [build-dir] [rounds]        (default build-dir: ./build-bench, rounds: 5)
# Builds bench_zip in the build tree (configured here for the architecture this machine runs, see
# tools/arch.sh, when it is not yet), makes (once) an archive of at least 100 MB of real binaries from
# /usr/lib and text from /usr/share, deflated with Python's zipfile, in <build-dir>/bench-zip/, then runs
# the benchmark: raw zlib inflate (baseline), the reader unpacking to memory and to files, the ratio
# memory/raw, and the peak working set next to the archive size. Then an archive of more than 4 GiB (zip64; a
# stored item of zeros written sparsely, so it takes no disk space, and a small item beyond it) is unpacked to
# files by the reader and by bsdtar, and the times are printed with their ratio. Unpacked files are removed
# afterwards; set BENCH_ZIP_LARGE=0 to skip the large part.
# It installs what is missing (tools/setup.sh). Whatever stops it is said, and the exit code is then 1.
set -euo pipefail
bench_name=bench-zip
. "$(dirname "$0")/bench-common.sh"
here="$bench_root/tools"
build=${1:-$bench_root/build-bench}
rounds=${2:-5}

bench_setup
[ -f "$build/build.ninja" ] || bench_tree "$build"
build=$(cd "$build" && pwd)
bench_check_arch "$build"
bench_build "$build" bench_zip

work="$build/bench-zip"
archive="$work/realistic.zip"
mkdir -p "$work"
if [ ! -f "$archive" ] || [ "$(stat -c %s "$archive")" -lt 100000000 ]; then
    echo "making $archive ..."
    python3 - "$archive" <<'PY'
import os, sys, zipfile
out = sys.argv[1]
target = 105_000_000          # compressed bytes
roots = [("lib", "/usr/lib/x86_64-linux-gnu"), ("share", "/usr/share")]

def files(prefix, root):
    for dirpath, dirnames, filenames in os.walk(root):
        dirnames.sort()
        for name in sorted(filenames):
            path = os.path.join(dirpath, name)
            rel = prefix + "/" + os.path.relpath(path, root)
            if os.path.islink(path) or not os.path.isfile(path) or not rel.isascii() or len(rel) > 200:
                continue
            size = os.path.getsize(path)
            if 0 < size <= 8 << 20:
                yield rel, path

# Binaries and text taken in turn, so that both kinds make up the archive.
sources = [files(p, r) for p, r in roots]
tmp = out + ".tmp"
count = 0
with open(tmp, "wb") as raw, zipfile.ZipFile(raw, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as zf:
    while sources and raw.tell() < target and count < 60000:
        for gen in list(sources):
            try:
                rel, path = next(gen)
            except StopIteration:
                sources.remove(gen)
                continue
            try:
                zf.write(path, rel)
                count += 1
            except OSError:
                pass
os.replace(tmp, out)
print("%d items, %.1f MB" % (count, os.path.getsize(out) / 1e6))
PY
fi

outdir="$work/out"
rm -rf "$outdir"
mkdir -p "$outdir"
trap 'rm -rf "$outdir"' EXIT
status=0
"$here/wine-run.sh" --build "$build" "$build/tests/zip/bench_zip.exe" "Z:$archive" "Z:$outdir" "$rounds" || status=$?
rm -rf "$outdir"
[ $status = 0 ] || bench_fail "bench_zip.exe ended with exit code $status (see above)"
[ "${BENCH_ZIP_LARGE:-1}" = 0 ] && exit 0

large="$work/large.zip"
if [ ! -f "$large" ]; then
    echo "making $large (sparse) ..."
    python3 - "$large" <<'PY'
import struct, sys, zlib
out = sys.argv[1]
size = (4 << 30) + (1 << 20)
crc, block = 0, bytes(1 << 20)
for _ in range(size >> 20):
    crc = zlib.crc32(block, crc)
small = b"after the large item\r\n" * 1000
packed = zlib.compressobj(6, zlib.DEFLATED, -15)
packed = packed.compress(small) + packed.flush()
dos = (0x52CF << 16) | 0x6456
name = b"large/zeros.bin"
with open(out + ".tmp", "wb") as f:
    f.write(struct.pack("<IHHHIIIIHH", 0x04034B50, 45, 0, 0, dos, crc, 0xFFFFFFFF, 0xFFFFFFFF, len(name), 20))
    f.write(name + struct.pack("<HHQQ", 1, 16, size, size))
    f.seek(size, 1)  # a hole: reads as zeros
    second = f.tell()
    f.write(struct.pack("<IHHHIIIIHH", 0x04034B50, 20, 0, 8, dos, zlib.crc32(small), len(packed), len(small), 15, 0))
    f.write(b"large/after.txt" + packed)
    cd = f.tell()
    f.write(struct.pack("<IHHHHIIIIHHHHHII", 0x02014B50, 0x032D, 45, 0, 0, dos, crc, 0xFFFFFFFF, 0xFFFFFFFF,
                        len(name), 20, 0, 0, 0, 0x81A40000, 0))
    f.write(name + struct.pack("<HHQQ", 1, 16, size, size))
    f.write(struct.pack("<IHHHHIIIIHHHHHII", 0x02014B50, 0x032D, 20, 0, 8, dos, zlib.crc32(small), len(packed),
                        len(small), 15, 12, 0, 0, 0, 0x81A40000, 0xFFFFFFFF))
    f.write(b"large/after.txt" + struct.pack("<HHQ", 1, 8, second))
    end64 = f.tell()
    f.write(struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 0x032D, 45, 0, 0, 2, 2, end64 - cd, cd))
    f.write(struct.pack("<IIQI", 0x07064B50, 0, end64, 1))
    f.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 2, 2, 0xFFFFFFFF, 0xFFFFFFFF, 0))
import os
os.replace(out + ".tmp", out)
PY
fi
echo "archive of more than 4 GiB: $(stat -c %s "$large") bytes (sparse)"
# Each run starts with no dirty pages of an earlier one waiting to be written (4 GiB of them slow the next
# writer down several times).
mkdir -p "$outdir"
sync
reader=$("$here/wine-run.sh" --build "$build" "$build/tests/zip/bench_zip.exe" --files "Z:$large" "Z:$outdir") ||
    status=$?
echo "$reader" | grep -v '^seconds'
reader_s=$(echo "$reader" | sed -n 's/^seconds //p')
rm -rf "$outdir"
mkdir -p "$outdir"
sync
if command -v bsdtar >/dev/null; then
    t0=$(date +%s.%N)
    bsdtar -xf "$large" -C "$outdir" || status=$?
    t1=$(date +%s.%N)
    python3 -c "import sys; r, b = float(sys.argv[1]), float(sys.argv[2]) - float(sys.argv[3]); \
print('bsdtar, unpack to files: %.2f s; reader/bsdtar time ratio %.2f (below 1: the reader is faster)' % (b, r / b))" \
        "${reader_s:-0}" "$t1" "$t0"
else
    echo "bsdtar is not installed (Debian package libarchive-tools): no comparison"
fi
rm -rf "$outdir"
[ $status = 0 ] || bench_fail "the large archive could not be unpacked (exit code $status, see above)"
