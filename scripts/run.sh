#!/usr/bin/env bash
# Creates an embedded demo site when there is none and starts the server.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
bin="$root/$build/bin"
work=${HALVEX_WORK_FOLDER:-$bin}
site="$work/site"
mkdir -p "$work"

if [[ -x "$bin/vrq_initdb" && ! -f "$site/halvexdatav2.GDB" ]]; then
    echo "run: creating a demo site in $site"
    "$bin/vrq_initdb" --site "$site" --admin ADMIN:ADMIN
fi
if [[ -f "$site/halvexdatav2.GDB" ]]; then
    grep -qi '^LinkPath=' "$work/halvex.ini" 2>/dev/null ||
        printf '[Database]\r\nLinkPath=%s/\r\n' "$site" >> "$work/halvex.ini"
fi

args=("$@")
args=("${args[@]:1}")
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "run: no display found; running offscreen and unattended (stop with Ctrl+C)"
    export QT_QPA_PLATFORM=offscreen VRQ_UNATTENDED=1
    args+=("/MAXIMIZE")
fi
export HALVEX_WORK_FOLDER="$work"
exec "$bin/Halvex_VRQ" "${args[@]}"
