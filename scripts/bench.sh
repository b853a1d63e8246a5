#!/usr/bin/env bash
# Runs the benchmark programs and prints their tables.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
echo "# $(date -u +%Y-%m-%d) on $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo)"
"$root/$build/bin/vrq_bench"
