#!/usr/bin/env bash
# Benchmarks the zip reader under Wine and prints its figures.
#   tools/bench-zip.sh [build-dir] [rounds]        (default build-dir: ./build-bench, rounds: 5)
# Builds bench_zip in the build tree (configured here for the architecture this machine runs, see
# tools/arch.sh, when it is not yet), makes (once) an archive of at least 100 MB of real binaries from
# /usr/lib and text from /usr/share, deflated with Python's zipfile, in <build-dir>/bench-zip/, then runs
# the benchmark: raw zlib inflate (baseline), the reader unpacking to memory and to files, the ratio
# memory/raw, and the peak working set next to the archive size. Unpacked files are removed afterwards.
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
status=0
"$here/wine-run.sh" --build "$build" "$build/tests/zip/bench_zip.exe" "Z:$archive" "Z:$outdir" "$rounds" || status=$?
rm -rf "$outdir"
[ $status = 0 ] || bench_fail "bench_zip.exe ended with exit code $status (see above)"
