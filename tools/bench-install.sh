#!/usr/bin/env bash
# Installer benchmark (not a test): installs 200 MB and 1 GiB packages from nginx on 127.0.0.1:80 and prints,
# each as a ratio against a baseline measured in the same run, the time from the Install click to the finish
# page (against curl + unzip, uncapped; against curl alone with nginx capped at 125 MB/s), the installer's
# peak memory (against the bare sample client's + 64 MiB) and the time from process start to the first
# painted frame (against a bare Win32 window program); with --big SIZE also one package beyond 4 GiB (against
# curl + bsdtar). It also prints the first painted frame at 200 % (a prefix at 192 DPI) against 100 %.
# See tools/bench_install.py.
#   tools/bench-install.sh [--sizes 200m,1g] [--cap 125m] [--big 4.5g] [--compare OTHER.exe] [--repeat N]
#                         [--startup-only]
# It installs what is missing (tools/setup.sh) and builds its own tree, ./build-bench (the test architecture,
# ccache when installed, no package hash check, since the benchmark's package is not the demo one).
# Needs root for port 80. Whatever stops it is said, and the exit code is then 1.
set -uo pipefail
bench_name=bench-install
. "$(dirname "$0")/bench-common.sh"
build="$bench_root/build-bench"

bench_setup
bench_need_port80
bench_tree "$build" -DVELTARA_PACKAGE_SHA256=
bench_build "$build" VeltaraSetup VeltaraClient
. "$bench_root/tools/wine-env.sh" "$build"
wine_env_up || bench_fail "the Wine environment of $build could not start (see above)"
trap wine_env_down EXIT
python3 "$bench_root/tools/bench_install.py" --build "$build" \
    --client "$build/tools/sample-client/VeltaraClient.exe" "$@" || bench_fail "the benchmark failed (see above)"
