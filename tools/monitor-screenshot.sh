#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The monitor window watching a receiver replayed through a pseudo-terminal
# pair (socat) on a virtual X server: four minutes of reports with an alarm
# that ended and one still on, judged against the example limits, recorded in
# a scratch folder; a picture of the window is saved.
# Usage: tools/monitor-screenshot.sh [BUILD_DIR] [OUTPUT_PNG]
set -euo pipefail
top=$(realpath "$(dirname "$0")/..")
build=$(realpath "${1:-build}")
out=${2:-docs/monitor.png}
exe="$build/src/ui/tarnimex"
[ -x "$exe" ] || { echo "No program in $build: build it first." >&2; exit 1; }
for tool in Xvfb xdotool xwininfo import socat; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: make screenshot-deps installs it" >&2; exit 1; }
done

# The settings file lands beside the program: run a copy in a scratch folder.
work=$(mktemp -d)
cp "$exe" "$top/docs/limits-example.ini" "$work/"
mkdir "$work/rec"
printf '[Chart]\r\nLimitsFile=%s\r\n[Monitor]\r\nFolder=%s\r\n' \
  "$work/limits-example.ini" "$work/rec" > "$work/tarnimex.ini"

# A report a second among position sentences: a slow wander of a few
# milliseconds, an alarm stretch after two minutes, another at the end.
awk 'BEGIN {
  for (i = 0; i < 240; i++) {
    t = sprintf("12:%02d:%02d", 30 + int(i / 60), i % 60)
    delay = 0.004 * sin(i / 20) + 0.001 * ((i * 7919) % 13 - 6) / 6
    if (i >= 120 && i < 128) delay = 20 + (i - 119) * 5.2
    if (i >= 236) delay = 52 + i - 236
    hms = substr(t, 1, 2) substr(t, 4, 2) substr(t, 7, 2)
    printf "$GPRMC,%s.00,A,4807.038,N,01131.000,E,022.4,084.4,050723,003.1,W*45\r\n", hms
    printf "$GPTXT,01,01,02,RMC delay,2023/07/05 %s.000,%.4f*66\r\n", t, delay
  }
}' > "$work/replay.nmea"

source "$(dirname "$0")/xvfb_display.sh"
start_display 1200x860

socat pty,raw,echo=0,link="$work/tty" pty,raw,echo=0,link="$work/peer" &
socat_pid=$!
trap 'kill $socat_pid 2>/dev/null || true; end_display' EXIT
for _ in $(seq 100); do [ -e "$work/peer" ] && break; sleep 0.05; done

QT_QPA_PLATFORM=xcb "$work/tarnimex" --monitor "serial:$work/tty@115200" &
app_pid=$!
window=
for _ in $(seq 100); do
  window=$(xwininfo -root -tree 2>/dev/null | awk '/"Tarnimex monitor"/ {print $1; exit}')
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "The window did not appear." >&2; exit 1; }
sleep 1  # connected
cat "$work/replay.nmea" > "$work/peer"
sleep 3  # the reports, a tick of statistics and the verdict, painting

mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
echo "Saved $out"
