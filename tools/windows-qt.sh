#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Prints the prefix of the static Qt for MinGW-w64 that the Windows window is
# built with, or nothing when there is none to be had (the command line is
# then built alone). In order: the prefix given, one already unpacked in the
# cache folder, the tarball given or else the prebuilt one beside the project
# (unpacked into the cache once). make windows-qt rebuilds that tarball.
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
if ! usable "$cache/$name" && [ -f "$tarball" ]; then
  # Unpacked beside and moved in whole, so that an interrupted run leaves no
  # half Qt behind.
  mkdir -p "$cache"
  scratch=$(mktemp -d "$cache/.unpack.XXXXXX")
  trap 'rm -rf "$scratch"' EXIT
  tar -xJf "$tarball" -C "$scratch"
  rm -rf "${cache:?}/$name"
  mv "$scratch/$name" "$cache/$name"
fi
if usable "$cache/$name"; then realpath "$cache/$name"; fi
