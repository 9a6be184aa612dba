# Wine environment of one build tree: a private 64-bit prefix, a zh_CN.UTF-8 locale (ANSI code page
# 936), the CJK font replacements, a private Xvfb display and one persistent wineserver.
# VELTARA_LOCALE picks another of the locales compiled here, for runs under other ANSI code pages:
# en_US.UTF-8 (1252), ja_JP.UTF-8 (932), zh_TW.UTF-8 (950); Wine takes the code page from it at process start.
# Source it, then call the functions:
#   . tools/wine-env.sh <build-dir>
#   wine_env_up              make (once) and start what is missing, export the variables
#   wine_env_down            stop this tree's wineserver and Xvfb
# Set WINE_USE_DISPLAY=1 to use $DISPLAY (when set) instead of the private Xvfb.
# Everything lives under <build-dir>/wine; nothing reads or writes the user's $HOME or Wine prefix.

WINE_BUILD_DIR=$(cd "${1:?build dir}" && pwd)
WINE_ROOT="$WINE_BUILD_DIR/wine"
# The locales the programs may run under; the first is the default.
WINE_LOCALES="zh_CN.UTF-8 en_US.UTF-8 ja_JP.UTF-8 zh_TW.UTF-8"

_wine_log() { printf 'wine-env: %s\n' "$*" >&2; }

_wine_exports() {
    # Without a runnable 32-bit loader, Debian's wine wrappers still pick it: point them at the 64-bit one.
    if ! { [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; }; then
        mkdir -p "$WINE_ROOT/bin"
        local w
        for w in wine wine-stable; do
            printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$WINE_ROOT/bin/$w"
            chmod +x "$WINE_ROOT/bin/$w"
        done
        case ":$PATH:" in *":$WINE_ROOT/bin:"*) ;; *) export PATH="$WINE_ROOT/bin:$PATH" ;; esac
        export WINELOADER=/usr/lib/wine/wine64
    fi
    export WINEPREFIX="$WINE_ROOT/prefix" WINEARCH=win64 WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    export LOCPATH="$WINE_ROOT/locale"
    # bash cannot load a locale from LOCPATH for itself and warns; Wine's processes can.
    local locale=${VELTARA_LOCALE:-zh_CN.UTF-8}
    case " $WINE_LOCALES " in *" $locale "*) ;; *)
        _wine_log "VELTARA_LOCALE=$locale is not one of: $WINE_LOCALES; using zh_CN.UTF-8"
        locale=zh_CN.UTF-8 ;;
    esac
    { export LC_ALL=$locale LANG=$locale; } 2>/dev/null
    # The desktop folder of the prefix links into $HOME: keep it inside the build tree.
    export HOME="$WINE_ROOT/home"
    # WinINet reads these; tests must never inherit a proxy from the caller.
    unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy NO_PROXY all_proxy ALL_PROXY
}

_wine_start_xvfb() {
    local n pidfile="$WINE_ROOT/xvfb.pid" dispfile="$WINE_ROOT/display"
    if [ -f "$pidfile" ] && [ -f "$dispfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then
        export DISPLAY=":$(cat "$dispfile")"
        return 0
    fi
    for n in $(seq 91 199); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -ac \
            </dev/null >"$WINE_ROOT/xvfb.log" 2>&1 9>&- &
        echo $! >"$pidfile"
        local i
        for i in $(seq 1 100); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            kill -0 "$(cat "$pidfile")" 2>/dev/null || break
            sleep 0.05
        done
        # Another tree may have taken the same number at the same moment: the display is ours only if our
        # server still runs once the socket is there.
        if [ -e "/tmp/.X11-unix/X$n" ] && sleep 0.2 && kill -0 "$(cat "$pidfile")" 2>/dev/null; then
            echo "$n" >"$dispfile"
            export DISPLAY=":$n"
            return 0
        fi
    done
    _wine_log "could not start Xvfb (see $WINE_ROOT/xvfb.log)"
    return 1
}

_wine_make_locale() {
    local locale
    mkdir -p "$WINE_ROOT/locale"
    for locale in $WINE_LOCALES; do
        [ -f "$WINE_ROOT/locale/$locale/LC_CTYPE" ] && continue
        localedef -i "${locale%.UTF-8}" -f UTF-8 "$WINE_ROOT/locale/$locale" 2>/dev/null ||
            [ -f "$WINE_ROOT/locale/$locale/LC_CTYPE" ] || { _wine_log "localedef $locale failed"; return 1; }
    done
}

_wine_reg() { wine reg add "$@" /f </dev/null >/dev/null 2>&1 9>&-; }

_wine_start_server() {
    # A persistent server keeps process start-up near 20 ms. It is started detached, with its output and the
    # set-up lock closed, so that it never holds a caller's pipe open; a second start while one runs exits at once.
    mkdir -p "$WINEPREFIX"
    setsid wineserver -p60 </dev/null >/dev/null 2>&1 9>&- || true
}

_wine_warm_up() {
    # The first program of a session starts Wine's system processes (services, explorer, ...), which inherit
    # its output and live as long as the server: start them from a program whose output goes nowhere, or a
    # caller reading our output (CTest) would wait for them.
    local p
    for p in $(pgrep -f 'services\.exe' 2>/dev/null); do
        tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && return 0
    done
    wine cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
}

_wine_make_prefix() {
    [ -f "$WINE_ROOT/prefix.ready" ] && return 0
    _wine_log "creating the Wine prefix (once per build tree, about 20 s)"
    wineserver -k </dev/null >/dev/null 2>&1 9>&-
    rm -rf "$WINEPREFIX"
    _wine_start_server
    wineboot -i </dev/null >"$WINE_ROOT/wineboot.log" 2>&1 9>&- || { _wine_log "wineboot failed"; return 1; }
    _wine_reg 'HKCU\Software\Wine\Fonts\Replacements' /v '微软雅黑' /t REG_SZ /d 'WenQuanYi Micro Hei' &&
    _wine_reg 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS Shell Dlg' /t REG_SZ /d 'WenQuanYi Micro Hei' &&
    _wine_reg 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS Shell Dlg 2' /t REG_SZ /d 'WenQuanYi Micro Hei' &&
    _wine_reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N &&
    _wine_reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 ||
        { _wine_log "registry set-up failed"; return 1; }
    touch "$WINE_ROOT/prefix.ready"
}

_wine_private_shell_folders() {
    # Wine links the user's shell folders (Desktop, Documents, ...) to the folders of $HOME as it was when the
    # prefix was made. The installer writes its shortcut to the desktop: every such link must lead into this
    # tree's private home, never into the real one (a prefix made before HOME was redirected links there).
    local link target name
    for link in "$WINEPREFIX"/drive_c/users/*/*; do
        [ -L "$link" ] || continue
        target=$(readlink -f "$link")
        case "$target" in "$WINE_ROOT"/*) continue ;; esac
        name=$(basename "$link")
        rm -f "$link"
        if [ "$name" = Desktop ]; then ln -s "$WINE_ROOT/home/Desktop" "$link"; else ln -s "$WINE_ROOT/home" "$link"; fi
        _wine_log "shell folder $name led to $target; it now leads into $WINE_ROOT/home"
    done
}

wine_env_up() {
    mkdir -p "$WINE_ROOT/home/Desktop"
    _wine_exports
    (
        flock 9
        _wine_make_locale || { _wine_log "the locales could not be compiled (package locales)"; exit 1; }
        if [ "${WINE_USE_DISPLAY:-}" = 1 ] && [ -n "${DISPLAY:-}" ]; then :; else _wine_start_xvfb || exit 1; fi
        _wine_start_server
        _wine_make_prefix || exit 1
        _wine_private_shell_folders
        _wine_warm_up
    ) 9>"$WINE_ROOT/lock" || return 1
    if [ "${WINE_USE_DISPLAY:-}" = 1 ] && [ -n "${DISPLAY:-}" ]; then :; else
        export DISPLAY=":$(cat "$WINE_ROOT/display")"
    fi
    return 0
}

wine_env_down() {
    _wine_exports
    wineserver -k </dev/null >/dev/null 2>&1 || true
    if [ -f "$WINE_ROOT/xvfb.pid" ]; then
        kill "$(cat "$WINE_ROOT/xvfb.pid")" 2>/dev/null || true
        rm -f "$WINE_ROOT/xvfb.pid" "$WINE_ROOT/display"
    fi
    rm -f "$WINE_ROOT/server.up"
}
