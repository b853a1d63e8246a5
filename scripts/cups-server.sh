#!/usr/bin/env bash
# Private CUPS scheduler for the tests, bound to 127.0.0.1 only.
#   start: starts cupsd, a raw queue whose socket device is a capture listener (socat writing
#          one file per job), and prints `export VAR=value` lines on stdout; idempotent.
#   stop:  stops both by their recorded pids.
# Everything but the export lines goes to stderr.
set -uo pipefail

dir=${VRQ_CUPS_DIR:-/tmp/vrq-cups-$(id -u)}
queue=VrqCardPrinter
description="VrqCardPrinter on USB001"

log() { echo "cups-server: $*" >&2; }

alive() { [[ -s "$1" ]] && kill -0 "$(cat "$1")" 2>/dev/null; }

port_free() { [[ -z "$(ss -Hltn "sport = :$1" 2>/dev/null)" ]]; }

free_port() {
    local p
    for p in $(seq "$1" "$(($1 + 200))"); do
        if port_free "$p"; then
            echo "$p"
            return 0
        fi
    done
    return 1
}

print_exports() {
    echo "export CUPS_SERVER=127.0.0.1:$(cat "$dir/cups.port")"
    echo "export VRQ_CUPS_SERVER=127.0.0.1:$(cat "$dir/cups.port")"
    echo "export VRQ_CUPS_QUEUE=$queue"
    echo "export VRQ_CUPS_QUEUE_DESCRIPTION='$description'"
    echo "export VRQ_CUPS_CAPTURE_DIR=$dir/out"
}

scheduler_up() {
    CUPS_SERVER=127.0.0.1:$(cat "$dir/cups.port") timeout 5 lpstat -r 2>/dev/null |
        grep -q "is running"
}

stop() {
    local f pid
    for f in "$dir/socat.pid" "$dir/cupsd.pid"; do
        if alive "$f"; then
            pid=$(cat "$f")
            kill "$pid" 2>/dev/null
            for _ in $(seq 50); do
                kill -0 "$pid" 2>/dev/null || break
                sleep 0.1
            done
            kill -9 "$pid" 2>/dev/null
        fi
        rm -f "$f"
    done
    log "stopped"
}

start() {
    if ! command -v cupsd >/dev/null || ! command -v socat >/dev/null; then
        log "cupsd or socat missing; printer tests will skip"
        return 0
    fi
    if alive "$dir/cupsd.pid" && alive "$dir/socat.pid" && [[ -s "$dir/cups.port" ]] &&
        scheduler_up; then
        print_exports
        return 0
    fi
    stop >/dev/null 2>&1
    mkdir -p "$dir"/{etc/ppd,spool/tmp,cache,state,log,out}
    local port cap
    port=$(free_port 8631) || { log "no free port"; return 1; }
    cap=$(free_port 9101) || { log "no free port"; return 1; }
    echo "$port" >"$dir/cups.port"
    echo "$cap" >"$dir/capture.port"
    cat >"$dir/etc/cups-files.conf" <<CONF
ServerRoot $dir/etc
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
FileDevice No
SystemGroup root
User lp
Group lp
CONF
    cat >"$dir/etc/cupsd.conf" <<CONF
Listen 127.0.0.1:$port
Listen $dir/cups.sock
Browsing No
WebInterface No
LogLevel info
MaxJobs 0
<Location />
  Order allow,deny
  Allow 127.0.0.1
</Location>
<Location /admin>
  Order allow,deny
  Allow 127.0.0.1
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
    if ! cupsd -t -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" >&2 2>&1; then
        log "configuration refused"
        return 1
    fi
    setsid cupsd -f -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" \
        </dev/null >>"$dir/log/cupsd.out" 2>&1 &
    echo $! >"$dir/cupsd.pid"
    setsid socat -u "TCP-LISTEN:$cap,bind=127.0.0.1,reuseaddr,fork" \
        "SYSTEM:exec cat > $dir/out/job-\$(date +%s%N).prn" \
        </dev/null >>"$dir/log/socat.out" 2>&1 &
    echo $! >"$dir/socat.pid"
    local up=0 deadline=$((SECONDS + 20))
    while ((SECONDS < deadline)); do
        if scheduler_up; then
            up=1
            break
        fi
        sleep 0.1
    done
    if [[ $up != 1 ]]; then
        log "cupsd did not come up (see $dir/log)"
        stop
        return 1
    fi
    CUPS_SERVER=127.0.0.1:$port timeout 10 lpadmin -p "$queue" -E -v "socket://127.0.0.1:$cap" \
        -m raw -D "$description" -L "test bench" >&2 2>&1
    log "cupsd on 127.0.0.1:$port, queue $queue -> capture 127.0.0.1:$cap ($dir/out)"
    print_exports
}

case "${1:-}" in
start) start ;;
stop) stop ;;
*)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
