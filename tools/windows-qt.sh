#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Prints the prefix of the static Qt for MinGW-w64 that the Windows window is
# built with, or nothing when there is none to be had (the command line is
# then built alone). In order: the prefix given, one already unpacked in the
# cache folder, the tarball given or else the prebuilt one beside the project
# (unpacked into the cache once, and again whenever the tarball's checksum
# changes). make windows-qt rebuilds that tarball.
#
#   tools/windows-qt.sh [PREFIX] [CACHE] [TARBALL]
set -euo pipefail

name=qt6-mingw-6.4.2
given=${1:-}
cache=${2:-$HOME/.cache/tarnimex}
tarball=${3:-$(dirname "$0")/../../shared/toolchains/$name-x86_64.tar.xz}

usable() { [ -f "$1/lib/cmake/Qt6/Qt6Config.cmake" ]; }

if [ -n "$given" ]; then
  usable "$given" || { echo "windows-qt.sh: no Qt 6 at $given" >&2; exit 1; }
  realpath "$given"
  exit 0
fi
# The unpacked copy is keyed by the tarball it came from: a rebuilt or newer
# tarball (another module linked in) replaces it.
stamp="$cache/$name.sha256"
if [ -f "$tarball" ]; then
  sum=$(sha256sum "$tarball" | cut -d' ' -f1)
  if ! usable "$cache/$name" || [ "$(cat "$stamp" 2>/dev/null)" != "$sum" ]; then
    # Unpacked beside and moved in whole, so that an interrupted run leaves no
    # half Qt behind.
    mkdir -p "$cache"
    scratch=$(mktemp -d "$cache/.unpack.XXXXXX")
    trap 'rm -rf "$scratch"' EXIT
    tar -xJf "$tarball" -C "$scratch"
    rm -rf "${cache:?}/$name" "$stamp"
    mv "$scratch/$name" "$cache/$name"
    echo "$sum" >"$stamp"
  fi
fi
if usable "$cache/$name"; then realpath "$cache/$name"; fi
