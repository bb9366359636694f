#!/usr/bin/env bash
# The serial ports of the Windows tests under Wine, played on the Linux side (a CTest fixture).
#   serial-ports.sh start DIR MODSIM   DIR/echo: a pseudo-terminal that sends back every byte;
#                                      DIR/sim: velor-modsim (the native one, MODSIM) with a
#                                      KALU at address 1
#   serial-ports.sh stop DIR
# The Wine prefix maps two COM ports to DIR/echo and DIR/sim. A test pulls the echo port's
# "adapter" by creating DIR/unplugged (the terminal goes, and the link with it) and plugs it back
# by removing the file; the keeper then makes a fresh terminal behind the same link.
set -euo pipefail
action=$1
dir=$2

keep_echo() {
    local pid=""
    while [ ! -e "$dir/stop" ]; do
        if [ -e "$dir/unplugged" ]; then
            if [ -n "$pid" ]; then
                kill "$pid" 2>/dev/null || true
                wait "$pid" 2>/dev/null || true
                pid=""
            fi
            rm -f "$dir/echo"
        elif [ -z "$pid" ] || ! kill -0 "$pid" 2>/dev/null; then
            socat pty,raw,echo=0,link="$dir/echo" PIPE &
            pid=$!
        fi
        sleep 0.05
    done
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
}

wait_for() {
    for _ in $(seq 100); do
        [ -e "$1" ] && return 0
        sleep 0.05
    done
    echo "serial-ports.sh: $1 did not appear" >&2
    return 1
}

case $action in
start)
    modsim=$3
    "$0" stop "$dir" 2>/dev/null || true
    rm -rf "$dir"
    mkdir -p "$dir"
    keep_echo </dev/null >"$dir/echo.log" 2>&1 &
    echo $! >"$dir/echo.pid"
    "$modsim" --no-tcp --pty "$dir/sim" --module 1:KALU --log "$dir/sim.log" \
        </dev/null >"$dir/sim.out" 2>&1 &
    echo $! >"$dir/sim.pid"
    wait_for "$dir/echo"
    wait_for "$dir/sim"
    ;;
stop)
    [ -d "$dir" ] || exit 0
    touch "$dir/stop"  # the keeper ends its terminal and itself
    [ ! -f "$dir/sim.pid" ] || kill "$(cat "$dir/sim.pid")" 2>/dev/null || true
    for f in sim echo; do
        [ -f "$dir/$f.pid" ] || continue
        pid=$(cat "$dir/$f.pid")
        for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
        kill "$pid" 2>/dev/null || true
        rm -f "$dir/$f.pid"
    done
    ;;
*)
    echo "usage: serial-ports.sh start DIR MODSIM | stop DIR" >&2
    exit 2
    ;;
esac
