#!/usr/bin/env bash
# Runs the benchmark programs and prints their tables. Starts the Firebird server for the
# serial-number rows when it can (root) and stops it again only if this script started it.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)

listening() { (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null; }
started=0
cleanup() {
    if [[ $started -eq 1 ]]; then
        bash "$here/firebird-server.sh" stop || true
    fi
}
trap cleanup EXIT

if [[ -x "$here/firebird-server.sh" && -z "${VRQ_FB_SERVER:-}" ]]; then
    listening && was_running=1 || was_running=0
    eval "$(bash "$here/firebird-server.sh" start)"
    if [[ $was_running -eq 0 ]] && listening; then
        started=1
    fi
fi

echo "# $(date -u +%Y-%m-%d) on $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo)"
"$root/$build/bin/vrq_bench"
