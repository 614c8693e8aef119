#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# CPU cost of watching a receiver: a generated log of mixed text and binary
# frames is replayed as fast as it goes through a socat pty pair into
# tarnimex-monitor, recording; its CPU seconds per byte give the share of one
# core it takes at 921,600 baud (92,160 bytes a second). Target: under 5%.
#
# Usage: BUILD=build [DAYS=0.5] bench/run_monitor_bench.sh
set -euo pipefail
BUILD=${BUILD:-build}
DAYS=${DAYS:-0.5}
gen=$BUILD/bench/tarnimex-gen-log
monitor=$BUILD/src/monitor/tarnimex-monitor
die() { echo "run_monitor_bench.sh: $*" >&2; exit 1; }
[[ -x $gen ]] || die "$gen not found; build the target tarnimex-gen-log first"
[[ -x $monitor ]] || die "$monitor not found; build the target tarnimex-monitor first"
command -v socat > /dev/null || die "socat is not installed"

work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2> /dev/null || true; wait 2> /dev/null || true; rm -rf "$work"' EXIT
"$gen" --days "$DAYS" -o "$work/replay.log" > /dev/null
bytes=$(stat -c %s "$work/replay.log")

socat pty,raw,echo=0,link="$work/tty" pty,raw,echo=0,link="$work/peer" &
pids+=($!)
for ((i = 0; i < 100; i++)); do [[ -e $work/peer ]] && break; sleep 0.05; done
mkdir "$work/rec"
"$monitor" --quiet --record "$work/rec" "serial:$work/tty@921600" > /dev/null &
monitor_pid=$!
pids+=($!)
sleep 1
ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$monitor_pid/stat"; }
before=$(cpu)
start=$(date +%s.%N)
cat "$work/replay.log" > "$work/peer"
# Until everything sent is recorded.
until (($(cat "$work"/rec/*.nmea | wc -c) >= bytes)); do sleep 0.05; done
end=$(date +%s.%N)
after=$(cpu)
kill -TERM "$monitor_pid"
wait "$monitor_pid" || true
awk -v b="$bytes" -v c=$((after - before)) -v t="$ticks" -v s="$start" -v e="$end" 'BEGIN {
    cpu = c / t; wall = e - s
    printf "replayed %.1f MB in %.2f s (%.1f MB/s), %.2f CPU s\n", b / 1e6, wall, b / 1e6 / wall, cpu
    printf "at 921600 baud (92160 B/s): %.2f%% of one core\n", 100 * cpu / (b / 92160)
}'
