#!/usr/bin/env bash
# A benchmark that cannot run says why and ends with exit code 1 (never silently): bench-http.sh and
# bench-zip.sh are given a build tree of the architecture this machine cannot run (a stand-in tree: a cache
# naming the other toolchain), and must stop before building anything, naming the reason.
# Usage: tests/tools/test_bench_scripts.sh
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/arch.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if [ "$(veltara_test_arch)" = i686 ]; then other=x86_64; else other=i686; fi
tree="$scratch/tree"
mkdir -p "$tree"
: >"$tree/build.ninja"
echo "CMAKE_TOOLCHAIN_FILE:FILEPATH=$root/cmake/toolchain-$other-mingw.cmake" >"$tree/CMakeCache.txt"

failures=0
# expect <name> <command...>: exit 1 and "<name>: ... this machine runs the ... build" on stderr.
expect() {
    local name=$1
    shift
    "$@" >"$scratch/out" 2>"$scratch/err"
    local rc=$?
    if [ $rc = 1 ] && grep -q "^$name: .*but this machine runs the $(veltara_test_arch) build" "$scratch/err" &&
        [ ! -e "$tree/bench-build.log" ]; then
        echo "ok   $name refuses a tree built for $other and says why"
    else
        echo "FAIL $name: exit $rc; its output:"
        sed 's/^/    /' "$scratch/out" "$scratch/err"
        failures=$((failures + 1))
    fi
}
expect bench-http "$root/tools/bench-http.sh" --build "$tree" --repeat 1
expect bench-zip "$root/tools/bench-zip.sh" "$tree" 1
exit $((failures > 0))
