#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The chart window of the example log, judged against the example limits, on a
# virtual X server: the limits file is the one the settings file remembers,
# the MTIE tab is clicked, and a picture of the window is saved.
# Usage: tools/chart-screenshot.sh [BUILD_DIR] [OUTPUT_PNG]
set -euo pipefail
top=$(realpath "$(dirname "$0")/..")
build=$(realpath "${1:-build}")
out=${2:-docs/chart-verdict.png}
exe="$build/src/ui/tarnimex"
convert="$build/src/cli/tarnimex-convert"
[ -x "$exe" ] && [ -x "$convert" ] || { echo "No programs in $build: build them first." >&2; exit 1; }
for tool in Xvfb xdotool xwininfo import; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: make screenshot-deps installs it" >&2; exit 1; }
done

# The settings file lands beside the program and the CSV beside the log: run
# copies in a scratch folder.
work=$(mktemp -d)
cp "$exe" "$top/examples/receiver-delay.nmea" "$top/docs/limits-example.ini" "$work/"
"$convert" --quiet "$work/receiver-delay.nmea"
printf '[Chart]\r\nLimitsFile=%s\r\n' "$work/limits-example.ini" > "$work/tarnimex.ini"

source "$(dirname "$0")/xvfb_display.sh"
start_display 1200x860

QT_QPA_PLATFORM=xcb "$work/tarnimex" --chart "$work/receiver-delay.csv" &
app_pid=$!
window=
for _ in $(seq 100); do
  window=$(xwininfo -root -tree 2>/dev/null | awk '/"Tarnimex chart"/ {print $1; exit}')
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "The window did not appear." >&2; exit 1; }
sleep 1  # painting

# The MTIE tab, under the time chart's left end.
read -r x y < <(xwininfo -id "$window" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}')
xdotool mousemove $((x + 124)) $((y + 513)) click 1
sleep 1

mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
echo "Saved $out"
