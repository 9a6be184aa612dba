#!/usr/bin/env bash
# The main job: builds the installer and the demo package, serves the package with nginx on 127.0.0.1:80 at
# /veltaragame/client/VeltaraClient.zip and runs the installer under Wine.
# With $DISPLAY set the installer runs there and you click through it; the script ends when it closes.
# Without a display it runs on a private Xvfb display and walks through by itself with real clicks, saving a
# screenshot of each page in <build>/screenshots/: the welcome page (installer-welcome.png, also installer.png),
# Install while the server does not have the package yet (the failure state with the retry button,
# installer-failed.png), Retry once the package is there, the progress page (installer-progress.png), the
# finish page (installer-finish.png) and Start.
# The exit code is the installer's. Port 80 must be free or held by a server of ours; otherwise the script
# stops at once and says so. Needs root for port 80.
# Usage: tools/demo.sh     (build tree: $VELTARA_BUILD_DIR, default ./build, or ./build-x64 where 32-bit Wine
#                           cannot run)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

"$root/tools/setup.sh" || exit 1
. "$root/tools/arch.sh"
arch=$(veltara_test_arch)
build=${VELTARA_BUILD_DIR:-$(veltara_default_build_dir "$root" "$arch")}
[ "$arch" = i686 ] || echo "demo: this machine cannot run 32-bit Wine; running the $arch build of the installer"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-mingw.cmake" \
      -DVELTARA_REGISTER_UNINSTALL=ON >/dev/null ||
    exit 1
ninja -C "$build" VeltaraSetup veltara_demo_package || exit 1
build=$(cd "$build" && pwd)
package="$build/package/veltaragame/client/VeltaraClient.zip"
[ -f "$package" ] || { echo "demo: the demo package $package was not made" >&2; exit 1; }

# The package server: nginx on 127.0.0.1:80, which refuses to start beside a stranger on the port.
work="$build/demo"
mkdir -p "$work"
rm -f "$work/nginx.ready"
# Walking by itself, the demo first shows a failure: the server's folder gets the package only after it.
www="$build/package"
if [ -z "${DISPLAY:-}" ]; then
    www="$work/www"
    rm -rf "$www"
    mkdir -p "$www/veltaragame/client"
fi
# Served at about 1.5 MB/s, so that the download of the small demo package can be watched for a few seconds.
python3 "$root/tools/nginx/nginx_server.py" --root "$www" --prefix "$work/nginx" --port 80 \
    --limit-rate 1500k --ready-file "$work/nginx.ready" >"$work/nginx.log" 2>&1 &
nginx_pid=$!
stop_nginx() { kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null; }
for _ in $(seq 1 300); do
    [ -f "$work/nginx.ready" ] && break
    kill -0 "$nginx_pid" 2>/dev/null || break
    sleep 0.1
done
if [ ! -f "$work/nginx.ready" ]; then
    echo "demo: the package server could not start on port 80 of 127.0.0.1:" >&2
    sed 's/^/    /' "$work/nginx.log" >&2
    stop_nginx
    exit 1
fi
echo "demo: serving $package at http://127.0.0.1/veltaragame/client/VeltaraClient.zip"
[ "$www" = "$build/package" ] || echo "demo: (it appears there once the first Install has failed without it)"

interactive=0
if [ -n "${DISPLAY:-}" ]; then interactive=1; export WINE_USE_DISPLAY=1; fi
. "$root/tools/wine-env.sh" "$build"
wine_env_up || { stop_nginx; exit 1; }
if [ $interactive = 1 ]; then trap stop_nginx EXIT; else trap 'stop_nginx; wine_env_down' EXIT; fi

shots="$build/screenshots"
mkdir -p "$shots"
rm -f "$shots"/installer*.png
# The started client closes itself after a while when nobody is watching.
[ $interactive = 1 ] || export VELTARA_CLIENT_CLOSE_MS=4000
wine "$build/app/VeltaraSetup.exe" </dev/null &
pid=$!

if [ $interactive = 1 ]; then
    echo "demo: the installer runs on $DISPLAY; click through it, or close it to end"
    wait $pid
    rc=$?
    echo "demo: installer exited with code $rc"
    exit $rc
fi

python3 "$root/tools/installer_driver.py" walk --skin "$root/skin/skin.xml" --shots "$shots" --pid $pid --timeout 120 \
    --publish "$package" "$www/veltaragame/client/VeltaraClient.zip"
walked=$?
for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then
    echo "demo: the installer did not close; stopping it" >&2
    kill $pid
    wait $pid 2>/dev/null
    exit 1
fi
wait $pid
rc=$?
[ $walked = 0 ] || { echo "demo: the walk through the installer failed (screenshots in $shots)" >&2; exit 1; }
echo "demo: screenshots saved in $shots"
echo "demo: installer exited with code $rc"
exit $rc
