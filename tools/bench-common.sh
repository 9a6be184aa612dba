# Shared by the benchmarks (tools/bench-install.sh, bench-http.sh, bench-zip.sh); not a benchmark itself.
# Source it after setting bench_name; every step that cannot run says why and ends the benchmark with exit 1.
#   bench_fail <text>                      print "<bench_name>: <text>" and exit 1
#   bench_setup                            install what is missing (tools/setup.sh)
#   bench_tree <dir> [cmake -D...]         configure <dir> for the test architecture (ccache only when installed)
#   bench_check_arch <dir>                 fail unless <dir> builds for the architecture this machine runs
#   bench_build <dir> <target...>          build targets, the output kept in <dir>/bench-build.log
#   bench_need_port80                      fail unless this user may listen on 127.0.0.1:80
bench_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$bench_root/tools/arch.sh"
bench_arch=$(veltara_test_arch)

bench_fail() {
    echo "${bench_name:-bench}: $*" >&2
    exit 1
}

bench_setup() {
    "$bench_root/tools/setup.sh" || bench_fail "installing what the benchmark needs failed (tools/setup.sh, above)"
}

# Runs a command with its output in a log; on failure shows the log's end and stops.
_bench_logged() {
    local log=$1 what=$2
    shift 2
    if ! "$@" >>"$log" 2>&1; then
        echo "${bench_name:-bench}: $what failed; the end of $log:" >&2
        tail -n 30 "$log" | sed 's/^/    /' >&2
        exit 1
    fi
}

bench_tree() {
    local dir=$1
    shift
    mkdir -p "$dir" || bench_fail "cannot make the build folder $dir"
    # ccache speeds rebuilds up but is not needed: use it only where it is installed (an empty launcher also
    # clears one that an earlier configuration of the tree remembered).
    local launcher=""
    command -v ccache >/dev/null 2>&1 && launcher=ccache
    _bench_logged "$dir/bench-build.log" "configuring $dir" \
        cmake -S "$bench_root" -B "$dir" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$bench_root/cmake/toolchain-$bench_arch-mingw.cmake" \
        -DCMAKE_C_COMPILER_LAUNCHER=$launcher -DCMAKE_CXX_COMPILER_LAUNCHER=$launcher "$@"
    bench_check_arch "$dir"
}

bench_check_arch() {
    local dir=$1 toolchain
    toolchain=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$dir/CMakeCache.txt" 2>/dev/null)
    case "$toolchain" in
    *"toolchain-$bench_arch-mingw.cmake") ;;
    *) bench_fail "$dir builds with ${toolchain:-no toolchain file}, but this machine runs the $bench_arch build" \
        "under Wine (tools/arch.sh): give another folder or remove this one" ;;
    esac
}

bench_build() {
    local dir=$1
    shift
    echo "${bench_name:-bench}: building $* in $dir"
    _bench_logged "$dir/bench-build.log" "building $*" ninja -C "$dir" "$@"
}

bench_need_port80() {
    local why
    why=$(python3 - <<'EOF' 2>&1
import errno, socket
s = socket.socket()
try:
    s.bind(("127.0.0.1", 80))
except PermissionError:
    print("listening on 127.0.0.1:80 needs root (or the CAP_NET_BIND_SERVICE capability)")
except OSError as e:
    if e.errno != errno.EADDRINUSE:  # a server of ours on the port is handled by the server script
        print("cannot listen on 127.0.0.1:80: %s" % e)
finally:
    s.close()
EOF
    )
    [ -z "$why" ] || bench_fail "$why"
}
