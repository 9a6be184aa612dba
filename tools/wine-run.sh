#!/usr/bin/env bash
# Runs a built Windows program under this build tree's Wine environment and returns its exit code.
# CTest uses it as the cross-compiling emulator:
#   tools/wine-run.sh --build <build-dir> <program.exe> [arguments...]
# Without --build the build tree is taken from $VELTARA_BUILD_DIR, else ./build.
set -u
here=$(cd "$(dirname "$0")" && pwd)
build="${VELTARA_BUILD_DIR:-$PWD/build}"
if [ "${1:-}" = --build ]; then build=$2; shift 2; fi
[ $# -ge 1 ] || { echo "usage: $0 [--build DIR] program.exe [args]" >&2; exit 2; }
. "$here/wine-env.sh" "$build"
wine_env_up || exit 125
exec wine "$@"
