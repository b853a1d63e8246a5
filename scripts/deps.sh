#!/usr/bin/env bash
# Installs the Debian packages the project needs; does nothing when all are present.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mapfile -t wanted < <(grep -v '^\s*#' "$here/packages.txt" | sed '/^\s*$/d')
missing=()
for p in "${wanted[@]}"; do
    st=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$st" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0
echo "deps: installing ${missing[*]}"
run() { if [[ $(id -u) -eq 0 ]]; then "$@"; else sudo -E "$@"; fi; }
# The Firebird server package asks for a SYSDBA password; give it the site's.
echo "firebird3.0-server shared/firebird/sysdba_password/first_install password ${ISC_PASSWORD:-WMTRZE}" \
    | run debconf-set-selections
export DEBIAN_FRONTEND=noninteractive
run apt-get update -qq
run apt-get install -y -qq --no-install-recommends "${missing[@]}"
