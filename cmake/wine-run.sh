#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a Windows program under 64-bit Wine, quietly, in the prefix WINEPREFIX
# names (make test-windows makes a fresh one per run). Wine hands variables
# starting with QT_ to the program only as WINEQT_.
set -e
if [ -z "$WINEPREFIX" ]; then
  echo "wine-run.sh: set WINEPREFIX to the Wine prefix to run in" >&2
  exit 2
fi
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
for wine in wine64 /usr/lib/wine/wine64 wine; do
  if command -v "$wine" >/dev/null 2>&1; then exec "$wine" "$@"; fi
done
echo "wine-run.sh: wine64 is not installed" >&2
exit 2
