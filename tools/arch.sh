# Which Windows architecture this machine can run the tests for. Source it, then call veltara_test_arch: it
# prints i686 (the shipped installer's architecture) or x86_64.
# 32-bit Windows programs need Wine's 32-bit loader, a 32-bit Linux program. On a kernel whose 32-bit
# emulation is off (seen: "32-bit emulation disabled" in the kernel log) that loader cannot start at all, so
# the tests run the 64-bit build of the same sources under 64-bit Wine instead. VELTARA_ARCH overrides.
veltara_can_run_32bit() {
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

veltara_test_arch() {
    if [ -n "${VELTARA_ARCH:-}" ]; then
        echo "$VELTARA_ARCH"
    elif veltara_can_run_32bit; then
        echo i686
    else
        echo x86_64
    fi
}

# The default build tree of an architecture: ./build for the shipped i686 build, ./build-x64 for the other.
veltara_default_build_dir() {
    local root=$1 arch=$2
    if [ "$arch" = i686 ]; then echo "$root/build"; else echo "$root/build-x64"; fi
}
