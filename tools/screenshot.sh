#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the real window under a virtual X server (Xvfb) and saves a picture
# of it. Usage: tools/screenshot.sh [BUILD_DIR] [OUTPUT_PNG]
set -euo pipefail
build=${1:-build}
out=${2:-docs/screenshot.png}
exe="$build/src/ui/tarnimex"
[ -x "$exe" ] || { echo "No window program at $exe: build it first." >&2; exit 1; }

# The program keeps its settings file beside itself: run a copy from a
# scratch folder so the build folder stays clean.
work=$(mktemp -d)
cp "$exe" "$work/"

source "$(dirname "$0")/xvfb_display.sh"
start_display 800x360

QT_QPA_PLATFORM=xcb "$work/tarnimex" &
app_pid=$!
window=
for _ in $(seq 100); do
    window=$(xwininfo -root -tree 2>/dev/null | awk '/"Tarnimex Ver/ {print $1; exit}')
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "The window did not appear." >&2; exit 1; }
sleep 1  # first activation, settings load, painting

mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
echo "Saved $out"
