#!/usr/bin/env bash
# Installer benchmark (not a test): installs a 200 MB package from nginx on 127.0.0.1:80 and prints, each as a
# ratio against a baseline measured in the same run, the time from the Install click to the finish page
# (against curl + unzip), the installer's peak memory (against 1.1 x package + 60 MB) and the time from
# process start to the first painted frame (against a bare Win32 window program). See tools/bench_install.py.
#   tools/bench-install.sh [--size 200m] [--repeat N]
# It builds its own tree, ./build-bench (the test architecture, no package hash check, since the benchmark's
# package is not the demo one). Needs root for port 80.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/arch.sh"
arch=$(veltara_test_arch)
build="$root/build-bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-mingw.cmake" \
    -DVELTARA_PACKAGE_SHA256= -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
ninja -C "$build" VeltaraSetup VeltaraClient >/dev/null
. "$root/tools/wine-env.sh" "$build"
wine_env_up
trap wine_env_down EXIT
python3 "$root/tools/bench_install.py" --build "$build" --client "$build/tools/sample-client/VeltaraClient.exe" "$@"
