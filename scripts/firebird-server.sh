#!/usr/bin/env bash
# A Firebird server on 127.0.0.1:3050 for the tests: `start` prints the export lines the tests
# read (VRQ_FB_SERVER, VRQ_FB_DATA), everything else goes to stderr; `stop` ends it.
set -euo pipefail
pidfile=/tmp/vrq-firebird.pid
data=/var/lib/firebird/3.0/data/vrq-tests
conf=/etc/firebird/3.0/firebird.conf
security=/var/lib/firebird/3.0/system/security3.fdb
password=${ISC_PASSWORD:-WMTRZE}

listening() { (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null; }

start() {
    if [[ ! -x /usr/sbin/firebird ]]; then
        echo "firebird-server: /usr/sbin/firebird is not installed" >&2
        return 0
    fi
    if [[ $(id -u) -ne 0 ]]; then
        echo "firebird-server: needs root to run the server as user firebird; skipped" >&2
        return 0
    fi
    if ! listening; then
        sed -i 's/^#\?\s*RemoteBindAddress\s*=.*/RemoteBindAddress = 127.0.0.1/' "$conf"
        # The SYSDBA password of the site, set while the server is down (embedded on the
        # security database).
        echo "create or alter user SYSDBA password '$password'; commit;" |
            isql-fb -q -user SYSDBA "$security" >&2 || true
        chown firebird:firebird "$security" 2>/dev/null || true
        mkdir -p /run/firebird3.0 && chown firebird:firebird /run/firebird3.0
        mkdir -p /tmp/firebird && chown firebird:firebird /tmp/firebird && chmod 0770 /tmp/firebird
        setpriv --reuid=firebird --regid=firebird --init-groups /usr/sbin/firebird >/tmp/vrq-firebird.out 2>&1 &
        echo $! > "$pidfile"
        for _ in $(seq 100); do listening && break; sleep 0.1; done
        if ! listening; then
            echo "firebird-server: did not start, see /tmp/vrq-firebird.out" >&2
            return 0
        fi
    fi
    mkdir -p "$data"
    chown firebird:firebird "$data"
    chmod 0777 "$data"
    echo "export VRQ_FB_SERVER=127.0.0.1"
    echo "export VRQ_FB_DATA=$data"
}

stop() {
    [[ -f "$pidfile" ]] || return 0
    local pid; pid=$(cat "$pidfile")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
    rm -f "$pidfile"
}

case "${1:-}" in
    start) start ;;
    stop) stop ;;
    *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
