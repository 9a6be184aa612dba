#!/usr/bin/env bash
# Runs a command under a Wine prefix whose display scale is <dpi> (96 = 100 %, 144 = 150 %, 192 = 200 %).
# The prefix, its Xvfb display and its wineserver live under <build>/dpi/wine, apart from the tree's own
# prefix, so that every other test keeps running at 96. Wine 8 takes the DPI from the user's
# HKCU\Control Panel\Desktop LogPixels, else from HKLM\System\CurrentControlSet\Hardware Profiles\Current\
# Software\Fonts LogPixels; both are set, and a program started afterwards reads them.
#   tests/app/dpi/at_dpi.sh <build-dir> <dpi> <command> [arguments...]
#   (a command ending in .exe is run with wine; anything else is run as it is, with the Wine variables set)
set -u
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$(cd "${1:?usage: at_dpi.sh <build-dir> <dpi> <command...>}" && pwd)
dpi=${2:?dpi}
shift 2
[[ $dpi =~ ^[0-9]+$ ]] && [ "$dpi" -ge 96 ] && [ "$dpi" -le 480 ] || { echo "at_dpi: bad DPI $dpi" >&2; exit 2; }
mkdir -p "$build/dpi"
. "$root/tools/wine-env.sh" "$build/dpi"
wine_env_up || exit 125
(
    flock 9
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f </dev/null >/dev/null 2>&1 &&
        wine reg add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' /v LogPixels \
            /t REG_DWORD /d "$dpi" /f </dev/null >/dev/null 2>&1
) 9>"$WINE_ROOT/lock" || { echo "at_dpi: could not set LogPixels" >&2; exit 125; }
export VELTARA_EXPECT_DPI=$dpi VELTARA_DPI_BUILD="$build/dpi"
case "$1" in
*.exe) exec wine "$@" ;;
*) exec "$@" ;;
esac
