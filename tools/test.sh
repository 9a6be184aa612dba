#!/usr/bin/env bash
# The test command: installs what is missing, configures, builds, and runs every test under Wine.
# Usage: tools/test.sh [extra ctest arguments]     (build tree: $VELTARA_BUILD_DIR, default ./build)
# Benchmarks are not part of it (tools/bench-*.sh run them).
set -uo pipefail
started=$(date +%s)
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELTARA_BUILD_DIR:-$root/build}

"$root/tools/setup.sh" || exit 1
cmake -S "$root" -B "$build" -G Ninja >/dev/null || exit 1
ninja -C "$build" || exit 1

. "$root/tools/wine-env.sh" "$build"
wine_env_up || exit 1
trap wine_env_down EXIT

ctest --test-dir "$build" --output-on-failure -j2 -LE benchmark "$@"
rc=$?
echo "test command took $(( $(date +%s) - started )) s (exit $rc)"
exit $rc
