#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine, and nothing that is already there:
# the mingw-w64 cross compilers (i686 for the installer, x86_64 for tests on machines without 32-bit Wine),
# zlib and stb for the target, GoogleTest sources, Wine (with wine32 through i386 multiarch), Xvfb, the CJK
# font, X tools, nginx, the archive tools the tests use, and osslsigncode with openssl for signing the
# installer (the tests sign with a certificate they make).
# Usage: tools/setup.sh        (as root, or as a user who may sudo)
set -euo pipefail

PACKAGES=(
    cmake ninja-build python3 locales
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev libstb-dev googletest
    wine wine64 wine32:i386
    xvfb fonts-wqy-microhei xdotool imagemagick x11-apps
    nginx-light curl
    zip unzip libarchive-tools p7zip-full
    osslsigncode openssl
)

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${PACKAGES[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: every package is installed"
    exit 0
fi

echo "setup: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror part-way through a sync can fail one index (seen: the i386 index of the security suite). What the
# other indexes hold may still be enough, so a failed update is only a warning.
if ! as_root apt-get update -qq; then
    echo "setup: warning: the package index update failed for some index; going on with what apt can see" >&2
fi
install() { as_root apt-get install -y -qq --no-install-recommends "$@" "${missing[@]}" >/dev/null; }
if ! install; then
    # Multi-arch libraries must have the same version in both architectures. When one architecture's index of
    # a suite is missing, apt picks newer amd64 versions than the i386 ones it can see and gives up. Retry once
    # with the release's own suite as the target, so that both architectures take their versions from it.
    release=$( (. "${VELTARA_OS_RELEASE:-/etc/os-release}" && echo "${VERSION_CODENAME:-}") 2>/dev/null || true)
    if [ -z "$release" ]; then
        echo "setup: installing failed and the release name is unknown" >&2
        exit 1
    fi
    echo "setup: installing failed; retrying with target release $release for both architectures" >&2
    as_root apt-get update -qq || true
    if ! install -t "$release"; then
        echo "setup: installing failed again (target release $release); see apt's messages above" >&2
        exit 1
    fi
fi
# The tests start nginx with their own configuration on 127.0.0.1:80; a system instance that the package's
# installation may have started would hold that port.
if command -v systemctl >/dev/null 2>&1 && systemctl is-active --quiet nginx 2>/dev/null; then
    as_root systemctl stop nginx || true
elif pgrep -f 'nginx: master process /usr/sbin/nginx' >/dev/null 2>&1; then
    as_root /usr/sbin/nginx -s quit || true
fi
echo "setup: done"
