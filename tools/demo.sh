#!/usr/bin/env bash
# The main job: builds the installer and runs it under Wine. On $DISPLAY when it is set (the installer runs
# until you close it); otherwise on a private Xvfb display, where a screenshot is saved as
# build/screenshots/installer.png and the installer is then closed.
# Usage: tools/demo.sh     (build tree: $VELTARA_BUILD_DIR, default ./build)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/tools/setup.sh" || exit 1
. "$root/tools/arch.sh"
arch=$(veltara_test_arch)
build=${VELTARA_BUILD_DIR:-$(veltara_default_build_dir "$root" "$arch")}
[ "$arch" = i686 ] || echo "demo: this machine cannot run 32-bit Wine; running the $arch build of the installer"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-mingw.cmake" >/dev/null ||
    exit 1
ninja -C "$build" VeltaraSetup || exit 1

interactive=0
if [ -n "${DISPLAY:-}" ]; then interactive=1; export WINE_USE_DISPLAY=1; fi
. "$root/tools/wine-env.sh" "$build"
wine_env_up || exit 1
[ $interactive = 1 ] || trap wine_env_down EXIT

shots="$build/screenshots"
mkdir -p "$shots"
wine "$build/app/VeltaraSetup.exe" </dev/null &
pid=$!

# Wine names the X window's class after the program.
win=$(timeout 30 xdotool search --sync --onlyvisible --classname 'veltarasetup.exe' 2>/dev/null | head -n 1)
if [ -z "$win" ]; then
    echo "demo: the installer window did not appear" >&2
    kill $pid 2>/dev/null
    exit 1
fi
sleep 1
import -window "$win" "$shots/installer.png" 2>/dev/null || import -window root "$shots/installer.png"
echo "demo: screenshot saved as $shots/installer.png"

if [ $interactive = 1 ]; then
    echo "demo: the installer runs on $DISPLAY; close it to end"
    wait $pid
    exit $?
fi
# Close it as a user would (Alt+F4), and give it a moment to exit on its own.
# Without a window manager the keyboard focus follows a click: click the caption area first.
xdotool mousemove --window "$win" 300 5 click 1 sleep 0.2 key alt+F4 2>/dev/null || true
for _ in $(seq 1 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then
    echo "demo: the installer did not close; stopping it" >&2
    kill $pid
    exit 1
fi
wait $pid
rc=$?
echo "demo: installer exited with code $rc"
exit $rc
