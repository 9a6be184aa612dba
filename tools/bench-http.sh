#!/usr/bin/env bash
# Download engine benchmark: fetches a 200 MB file from nginx on 127.0.0.1:80 through the engine (under
# Wine) and through curl in the same run, first with nginx capped at 125 MB/s (limit_rate 125m, a gigabit
# line), then uncapped, and prints both throughputs, their ratio and the engine's peak memory.
#   tools/bench-http.sh [--build DIR] [--repeat N] [--size BYTES]
# DIR is a build tree of the architecture this machine runs (default: ./build, or ./build-x64 where 32-bit
# Wine cannot run; see tools/arch.sh), configured here when it is not yet. Every side runs N times (default 5);
# the worst and the best run are shown, and the engine's worst and best against curl's best. Peak memory is
# the engine process's (MB = MiB), against 1.1 x body + 20 for the body kept in memory. Engine variants: the
# body kept in memory ("memory") and streamed into a file ("file", read back afterwards for the pattern check,
# outside the timed part). Both use the one download path: asynchronous WinINet with large reads. It installs
# what is missing (tools/setup.sh). Needs root for port 80. Whatever stops it is said, and the exit code is
# then 1.
set -euo pipefail
bench_name=bench-http
. "$(dirname "$0")/bench-common.sh"
here="$bench_root/tools"
build=""
repeat=5
size=$((200 * 1000 * 1000))
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build=$2; shift 2 ;;
        --repeat) repeat=$2; shift 2 ;;
        --size) size=$2; shift 2 ;;
        *) echo "usage: $0 [--build DIR] [--repeat N] [--size BYTES]" >&2; exit 2 ;;
    esac
done
[ -n "$build" ] || build=$(veltara_default_build_dir "$bench_root" "$bench_arch")
bench_setup
[ -f "$build/build.ninja" ] || bench_tree "$build"
build=$(cd "$build" && pwd)
bench_check_arch "$build"
bench_build "$build" bench_http
bench64="$build/tests/sdk/utility/bench_http.exe"
command -v curl >/dev/null || bench_fail "curl is not installed"
bench_need_port80

work="$build/bench-http"
mkdir -p "$work/www"
file="$work/www/big.bin"
if [ ! -f "$file" ] || [ "$(stat -c %s "$file")" != "$size" ]; then
    python3 - "$file" "$size" "$here" <<'EOF'
import sys
sys.path.insert(0, sys.argv[3])
from fault_server import pattern
path, size = sys.argv[1], int(sys.argv[2])
with open(path, "wb") as f:
    pos = 0
    while pos < size:
        n = min(16 << 20, size - pos)
        f.write(pattern(pos, n))
        pos += n
EOF
fi

nginx_pid=""
stop_nginx() {
    if [ -n "$nginx_pid" ]; then
        kill "$nginx_pid" 2>/dev/null || true
        wait "$nginx_pid" 2>/dev/null || true
        nginx_pid=""
    fi
}
trap stop_nginx EXIT

# Best and worst MB/s of $repeat runs of a command that prints "mbps=<x>"; keeps the best run's line.
best_of() {
    local best=0 worst=999999 line mbps
    for _ in $(seq 1 "$repeat"); do
        line=$("$@") || { echo "run failed: $line" >&2; return 1; }
        mbps=$(sed -n 's/.*mbps=\([0-9.]*\).*/\1/p' <<<"$line")
        if awk -v a="$mbps" -v b="$best" 'BEGIN { exit !(a > b) }'; then best=$mbps; last_line=$line; fi
        if awk -v a="$mbps" -v b="$worst" 'BEGIN { exit !(a < b) }'; then worst=$mbps; fi
    done
    best_mbps=$best
    worst_mbps=$worst
}

curl_run() {
    local bps
    bps=$(curl -s -o /dev/null -w '%{speed_download}' http://127.0.0.1/big.bin)
    echo "curl mbps=$(awk -v b="$bps" 'BEGIN { printf "%.1f", b / 1e6 }')"
}

engine_run() {  # engine_run <exe> [options]
    "$here/wine-run.sh" --build "$build" "$1" http://127.0.0.1/big.bin "${@:2}"
}

"$here/wine-run.sh" --build "$build" cmd /c exit 0 >/dev/null 2>&1 || true  # warm the Wine environment
for rate in 125m 0; do
    rm -f "$work/nginx.ready"
    python3 "$here/nginx/nginx_server.py" --root "$work/www" --prefix "$work/nginx-$rate" --port 80 \
        --limit-rate "$rate" --ready-file "$work/nginx.ready" >"$work/nginx-$rate.log" 2>&1 &
    nginx_pid=$!
    for _ in $(seq 1 100); do [ -f "$work/nginx.ready" ] && break; sleep 0.1; done
    [ -f "$work/nginx.ready" ] || { echo "nginx did not start (see $work/nginx-$rate.log)" >&2; exit 1; }

    if [ "$rate" = 0 ]; then echo "== nginx uncapped, $size bytes"; else echo "== nginx limit_rate $rate, $size bytes"; fi
    best_of curl_run
    curl_mbps=$best_mbps
    printf '  %-24s %8.1f MB/s (worst %.1f)\n' "curl" "$curl_mbps" "$worst_mbps"
    for sink in memory file; do
        if [ "$sink" = file ]; then
            best_of engine_run "$bench64" "--file=Z:${work//\//\\}\\body.bin"
        else
            best_of engine_run "$bench64"
        fi
        method=$(sed -n 's/.* sink=\([a-z]*\).*/\1/p' <<<"$last_line")
        ws=$(sed -n 's/.*peak_ws_mb=\([0-9.]*\).*/\1/p' <<<"$last_line")
        commit=$(sed -n 's/.*peak_commit_mb=\([0-9.]*\).*/\1/p' <<<"$last_line")
        printf '  engine %-6s %8.1f MB/s (worst %6.1f)  ratio to curl best: best %.2f, worst %.2f  peak working set %.1f MB, peak commit %.1f MB (limit %.1f MB)\n' \
            "$method" "$best_mbps" "$worst_mbps" \
            "$(awk -v a="$best_mbps" -v b="$curl_mbps" 'BEGIN { print a / b }')" \
            "$(awk -v a="$worst_mbps" -v b="$curl_mbps" 'BEGIN { print a / b }')" \
            "$ws" "$commit" "$(awk -v s="$size" 'BEGIN { print 1.1 * s / 1048576 + 20 }')"
    done
    rm -f "$work/body.bin"
    stop_nginx
done
