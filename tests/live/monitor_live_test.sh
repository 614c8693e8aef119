#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# tarnimex-monitor against live sources made with socat: a real capture with
# reports put in, replayed through a pseudo-terminal pair at 115200 baud, is
# recorded byte for byte and its live statistics equal the offline conversion
# of the recording; a port unplugged and plugged in again reconnects within
# 2 s into a new log, the outage counted; a TCP server that drops the
# connection is reconnected to; SIGTERM writes the current log's CSV.
# With WINE_RUN, the Windows programs run through it, and the serial ports are
# COMn links in the Wine prefix: the TCP part, and ports opened, not read.
#
# Usage: monitor_live_test.sh MONITOR CONVERT CAPTURE [WINE_RUN]
set -euo pipefail
monitor=$1 convert=$2 capture=$3 wine=${4:-}
command -v socat > /dev/null || { echo "socat is not installed: skipped"; exit 77; }
[[ -z $wine || -d ${WINEPREFIX:-} ]] || { echo "WINEPREFIX names no Wine prefix" >&2; exit 2; }

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
    wait 2> /dev/null || true
    [[ -z $wine ]] || rm -f "$WINEPREFIX"/dosdevices/com[56]
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Waits up to $3 seconds for the pattern $2 in the file $1.
wait_for() {
    local deadline=$((SECONDS + $3))
    until grep -q -- "$2" "$1" 2> /dev/null; do
        ((SECONDS < deadline)) || fail "no \"$2\" in $1 within $3 s: $(cat "$1")"
        sleep 0.05
    done
}

# The capture cut in 40 pieces with a report between them, one in ten over
# the alarm step.
replay=$work/replay.log
size=$(stat -c %s "$capture")
piece=$(((size + 39) / 40))
for ((i = 0; i < 40; i++)); do
    dd if="$capture" bs="$piece" skip=$i count=1 status=none
    delay=0.0001$((i % 7))
    ((i % 10 == 5)) && delay=61.$i
    printf '\r\n$GPTXT,01,01,02,RMC delay,2026/12/09 14:00:%02d.000,%s*00\r\n' "$i" "$delay"
done > "$replay"

# Sends a file through the pty $2 at about 115200 baud (11520 bytes a second).
send() {
    local blocks=$((($(stat -c %s "$1") + 1151) / 1152)) i
    for ((i = 0; i < blocks; i++)); do
        dd if="$1" bs=1152 skip=$i count=1 status=none > "$2"
        sleep 0.1
    done
}

plug() {
    socat pty,raw,echo=0,link="$work/tty" pty,raw,echo=0,link="$work/peer" &
    pids+=($!)
    socat_pid=$!
    for ((i = 0; i < 100; i++)); do [[ -e $work/peer ]] && return; sleep 0.05; done
    fail "socat made no pty pair"
}

start_monitor() {
    ${wine:+"$wine"} "$monitor" --json --record "$work/rec$1" "${@:2}" > "$work/out$1" 2> "$work/err$1" &
    monitor_pid=$!
    pids+=($!)
}

stop_monitor() {
    kill -TERM "$monitor_pid"
    local status=0
    wait "$monitor_pid" || status=$?
    ((status == 0)) || fail "exit status $status after SIGTERM: $(cat "$work/err$1")"
}

# A TCP server that sends the replay and drops the connection, each time.
port=$((20000 + $$ % 20000))
socat -U TCP-LISTEN:$port,bind=127.0.0.1,reuseaddr,fork FILE:"$replay" &
pids+=($!)
sleep 0.3
mkdir "$work/rectcp"
start_monitor tcp "tcp:127.0.0.1:$port" --duration 3
wait "$monitor_pid" || fail "exit status $? after --duration"
logs=("$work"/rectcp/127.0.0.1_$port-*.nmea)
((${#logs[@]} >= 2)) || fail "a log per connection expected: ${logs[*]}"
cmp "$replay" "${logs[0]}" || fail "the first connection's log differs from what was sent"
grep -q '"event":"lost"' "$work/outtcp" || fail "the dropped connection is not shown"

# Under Wine: COM5, a link to a pty, opens with the line asked for, which the
# pty shows while it is open (a pty keeps no parity nor data bits), and COM6,
# a link to nothing, is waited for with the reason. Wine 8 delivers no serial
# reads to Qt: reading is tested on Linux only, through the same code above
# the port.
if [[ -n $wine ]]; then
    plug
    ln -sfn "$work/tty" "$WINEPREFIX/dosdevices/com5"
    ln -sfn "$work/unplugged" "$WINEPREFIX/dosdevices/com6"
    mkdir "$work/reccom"
    start_monitor com serial:COM5@57600 serial:COM6 --stop-bits 2 --flow-control hardware --duration 2
    wait_for "$work/outcom" '"event":"connected","source":"COM5"' 20
    line=$(stty -a -F "$work/tty" | grep -ow -- 'speed [0-9]* baud\|-\?cstopb\|-\?crtscts' | tr '\n' ' ')
    wait "$monitor_pid" || fail "exit status $? after --duration"
    [[ $line == "speed 57600 baud cstopb crtscts " ]] || fail "COM5 opened as: $line"
    grep -q '"source":"COM6".*"reason":"cannot open COM6: [^"]' "$work/outcom" ||
        fail "no reason for the missing COM6: $(cat "$work/outcom")"
    echo "monitor under Wine: 2 passed, 0 failed"
    exit 0
fi

# 1. The replay through a pty at 115200 baud, stopped by SIGTERM; the
# recording folder does not exist yet.
plug
start_monitor 1 "serial:$work/tty@115200"
wait_for "$work/out1" '"event":"connected"' 5
send "$replay" "$work/peer"
sleep 0.5
stop_monitor 1
logs=("$work"/rec1/tty-*.nmea)
((${#logs[@]} == 1)) || fail "one log expected: ${logs[*]}"
cmp "$replay" "${logs[0]}" || fail "the recording differs from what was sent"
[[ -s ${logs[0]%.nmea}.csv ]] || fail "no CSV after SIGTERM"
grep -q '"event":"alarm-start"' "$work/out1" || fail "no alarm shown"
# Live and offline alike, but for the log's name and the CSV's rows.
live=$(grep '"event":"summary"' "$work/out1" | sed 's/.*"statistics":{"log":"[^"]*","reports"/{"reports"/; s/,"rows":[0-9]*//; s/}$//')
offline=$("$convert" --quiet --summary=json "${logs[0]}" | sed 's/{"log":"[^"]*",/{/; s/,"rows":[0-9]*//; s/,"metrics":.*/}/')
[[ $live == "$offline" ]] || fail "live statistics differ from the offline conversion:
live:    $live
offline: $offline"
kill "$socat_pid"

# 2. Unplugged and plugged in again.
mkdir "$work/rec2"
plug
start_monitor 2 "serial:$work/tty@115200"
wait_for "$work/out2" '"event":"connected"' 5
dd if="$replay" bs=3000 count=1 status=none > "$work/peer"
sleep 0.3
kill "$socat_pid"
wait_for "$work/out2" '"event":"lost"' 5
rm -f "$work/tty" "$work/peer"
plug
deadline=$((SECONDS + 3))
until (($(grep -c '"event":"connected"' "$work/out2") == 2)); do
    ((SECONDS < deadline)) || fail "no reconnection within 2 s: $(cat "$work/out2")"
    sleep 0.05
done
dd if="$replay" bs=3000 skip=1 count=1 status=none > "$work/peer"
sleep 0.3
stop_monitor 2
logs=("$work"/rec2/tty-*.nmea)
((${#logs[@]} == 2)) || fail "two logs expected: ${logs[*]}"
cmp <(cat "${logs[@]}") <(dd if="$replay" bs=6000 count=1 status=none) || fail "the two logs are not what was sent"
grep -q '"outages":1' "$work/out2" || fail "the outage is not counted"
kill "$socat_pid"

echo "monitor: 3 passed, 0 failed"
