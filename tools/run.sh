#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the window on a desktop; without a display, converts the bundled
# example log with tarnimex-convert and shows the CSV.
set -euo pipefail
build=${1:-build}
if [ -x "$build/src/ui/tarnimex" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
    exec "$build/src/ui/tarnimex"
fi
echo "No display here: converting the bundled example log with tarnimex-convert instead."
work=$(mktemp -d)
cp examples/receiver-delay.nmea "$work/"
"$build/src/cli/tarnimex-convert" "$work/receiver-delay.nmea"
echo "--- $work/receiver-delay.csv"
cat "$work/receiver-delay.csv"
