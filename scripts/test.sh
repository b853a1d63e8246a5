#!/usr/bin/env bash
# Starts the services the tests use, runs CTest, stops them again.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)

cleanup() {
    [[ -x "$here/cups-server.sh" ]] && bash "$here/cups-server.sh" stop || true
    [[ -x "$here/firebird-server.sh" ]] && bash "$here/firebird-server.sh" stop || true
}
trap cleanup EXIT

if [[ -x "$here/firebird-server.sh" ]]; then
    eval "$(bash "$here/firebird-server.sh" start)"
fi
if [[ -x "$here/cups-server.sh" ]]; then
    eval "$(bash "$here/cups-server.sh" start)"
fi

export QT_QPA_PLATFORM=offscreen VRQ_UNATTENDED=1
cd "$root/$build"
ctest --output-on-failure -j 2 --timeout 600
