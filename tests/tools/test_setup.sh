#!/usr/bin/env bash
# Checks tools/setup.sh's handling of a broken package index without touching the machine: apt-get, dpkg,
# dpkg-query, sudo and the service tools are stubs that record their calls and fail as each case asks.
# Usage: tests/tools/test_setup.sh
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
stubs="$scratch/bin"
mkdir -p "$stubs"

# apt-get: "update" fails when $STUB_UPDATE_FAILS is set; "install" fails for the first $STUB_INSTALL_FAILS calls.
cat >"$stubs/apt-get" <<'STUB'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STUB_LOG"
case "$1" in
update) [ -z "${STUB_UPDATE_FAILS:-}" ] ;;
install)
    n=$(grep -c '^apt-get install' "$STUB_LOG")
    [ "$n" -gt "${STUB_INSTALL_FAILS:-0}" ] ;;
esac
STUB
cat >"$stubs/dpkg-query" <<'STUB'
#!/usr/bin/env bash
[ -n "${STUB_ALL_INSTALLED:-}" ] && printf 'install ok installed' && exit 0
exit 1
STUB
cat >"$stubs/dpkg" <<'STUB'
#!/usr/bin/env bash
echo "dpkg $*" >>"$STUB_LOG"
[ "$1" = --print-foreign-architectures ] && echo i386
exit 0
STUB
printf '#!/usr/bin/env bash\n"$@"\n' >"$stubs/sudo"
printf '#!/usr/bin/env bash\nexit 1\n' >"$stubs/systemctl"
printf '#!/usr/bin/env bash\nexit 1\n' >"$stubs/pgrep"
chmod +x "$stubs"/*
printf 'VERSION_CODENAME=bookworm\n' >"$scratch/os-release"

failures=0
# run <name> <expected exit> <expected install lines, '|'-separated> [VAR=value...]
run() {
    local name=$1 want_rc=$2 want_installs=$3
    shift 3
    local log="$scratch/$name.log" out="$scratch/$name.out"
    : >"$log"
    env PATH="$stubs:$PATH" STUB_LOG="$log" VELTARA_OS_RELEASE="$scratch/os-release" "$@" \
        "$root/tools/setup.sh" >"$out" 2>&1
    local rc=$?
    local got
    got=$(grep '^apt-get install' "$log" | sed -n -e 's/.* \(-t [a-z]*\) .*/\1/p' -e 't' -e 's/.*/plain/p' |
        paste -sd'|' -)
    if [ "$rc" != "$want_rc" ] || [ "$got" != "$want_installs" ]; then
        echo "FAIL $name: exit $rc (want $want_rc), installs '$got' (want '$want_installs')"
        sed 's/^/    /' "$out"
        failures=$((failures + 1))
    else
        echo "ok   $name"
    fi
}

# Install lines are shown as "plain" or as the options before the package list ("-t bookworm").
run all-installed        0 ""                    STUB_ALL_INSTALLED=1
run clean-install        0 "plain"
run index-fails          0 "plain"               STUB_UPDATE_FAILS=1
run retry-target-release 0 "plain|-t bookworm"   STUB_UPDATE_FAILS=1 STUB_INSTALL_FAILS=1
run retry-fails-too      1 "plain|-t bookworm"   STUB_UPDATE_FAILS=1 STUB_INSTALL_FAILS=2

grep -q 'warning: the package index update failed' "$scratch/index-fails.out" ||
    { echo "FAIL index-fails: no warning printed"; failures=$((failures + 1)); }
grep -q 'retrying with target release bookworm' "$scratch/retry-target-release.out" ||
    { echo "FAIL retry-target-release: the retry is not announced"; failures=$((failures + 1)); }

exit $((failures > 0))
