#!/usr/bin/env bash
# Runs a test program under this build tree's Wine environment with another Unix locale, so with another
# ANSI code page (en_US.UTF-8: 1252, ja_JP.UTF-8: 932), the locale compiled into the tree on first use.
#   run_under_locale.sh <build-dir> <locale> <program.exe> [arguments...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=$1 locale=$2
shift 2
. "$here/../../tools/wine-env.sh" "$build"
wine_env_up || exit 125
(
    flock 9
    [ -f "$LOCPATH/$locale/LC_CTYPE" ] || localedef -i "${locale%%.*}" -f "${locale#*.}" "$LOCPATH/$locale" 2>/dev/null ||
        [ -f "$LOCPATH/$locale/LC_CTYPE" ]
) 9>"$WINE_ROOT/locale.lock" || { echo "localedef $locale failed (package locales)" >&2; exit 1; }
# bash cannot load a locale from LOCPATH for itself and warns; Wine's processes can.
{ export LC_ALL=$locale LANG=$locale; } 2>/dev/null
exec wine "$@"
