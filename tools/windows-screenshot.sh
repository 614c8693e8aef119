#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows window under Wine on a virtual X server: it is started with a log
# named on its command line (taken as a drop), Convert is clicked, and a
# picture of the window is saved.
# Usage: tools/windows-screenshot.sh [WINDOWS_BUILD_DIR] [OUTPUT_PNG]
set -euo pipefail
top=$(realpath "$(dirname "$0")/..")
build=$(realpath "${1:-build-windows}")
out=${2:-docs/windows.png}
exe="$build/src/ui/tarnimex.exe"
[ -f "$exe" ] || { echo "No window program at $exe: make windows-build first." >&2; exit 1; }
for tool in Xvfb xdotool xwininfo import; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: make screenshot-deps installs it" >&2; exit 1; }
done

# The settings file lands beside the program and the CSV beside the log: run
# copies in a scratch folder.
work=$(mktemp -d)
cp "$exe" "$top/examples/receiver-delay.nmea" "$work/"
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}

source "$(dirname "$0")/xvfb_display.sh"
start_display 800x400

# Under Wine, Qt's default font engines leave line edits blank; FreeType draws
# everything (on Windows itself the defaults are right).
log=$(winepath -w "$work/receiver-delay.nmea" 2>/dev/null)
(cd "$work" && WINEQT_QPA_PLATFORM=windows:fontengine=freetype \
  exec "$top/cmake/wine-run.sh" tarnimex.exe "$log") &
app_pid=$!
window=
for _ in $(seq 300); do
  window=$(xwininfo -root -tree 2>/dev/null | awk '/"Tarnimex Ver/ {print $1; exit}')
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "The window did not appear." >&2; exit 1; }
caption=$(xwininfo -id "$window" | sed -n 's/.*"\(Tarnimex Ver[^"]*\)".*/\1/p')
sleep 2  # first activation, settings load, painting

# Convert: the button right of the file box's row below Browse.
read -r x y < <(xwininfo -id "$window" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}')
xdotool mousemove $((x + 541)) $((y + 62)) click 1
for _ in $(seq 100); do [ -s "$work/receiver-delay.csv" ] && break; sleep 0.1; done
[ -s "$work/receiver-delay.csv" ] || { echo "No CSV was written." >&2; exit 1; }
sleep 1

mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
echo "Saved $out (caption \"$caption\"; CSV of $(wc -l < "$work/receiver-delay.csv") lines)"
