#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds static Windows libraries of liblzma, libzstd and libbzip2 into PREFIX
# for the cross build's compressed-log readers, from Debian's source packages
# (Debian ships MinGW builds of zlib only: libz-mingw-w64-dev). A second run
# with the libraries in place does nothing.
#
#   tools/windows-libs.sh PREFIX
set -euo pipefail

[ $# -eq 1 ] || { echo "usage: $0 PREFIX" >&2; exit 2; }
prefix=$(realpath -m "$1")
toolchain=$(realpath "$(dirname "$0")/../cmake/mingw-w64-x86_64.cmake")
host=x86_64-w64-mingw32
cc=$host-gcc-posix
jobs=$(nproc)
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo

if [ -f "$prefix/lib/liblzma.a" ] && [ -f "$prefix/lib/libzstd.a" ] && [ -f "$prefix/lib/libbz2.a" ]; then
  exit 0
fi
work=$prefix/work
mkdir -p "$work"
cd "$work"

# apt-get source needs deb-src entries: mirror the 'deb' ones once.
enable_sources() {
  if grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then return; fi
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -E 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      $sudo tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
  else
    sed -nE 's/^deb (.*)/deb-src \1/p' /etc/apt/sources.list |
      $sudo tee /etc/apt/sources.list.d/debian-src.list >/dev/null
  fi
  $sudo apt-get update -qq
}

# Unpacks source package $1 into ./$1 (Debian's patches applied); when the
# mirror lacks the newest version, an older one it still has.
fetch() {
  local package=$1 version
  [ -d "$package" ] && return
  for version in "" $(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -rV); do
    rm -rf fetch && mkdir fetch
    if (cd fetch && apt-get source -qq --download-only "$package${version:+=$version}" >/dev/null 2>&1); then
      dpkg-source -q -x fetch/*.dsc "$package" >/dev/null 2>&1
      rm -rf fetch
      return
    fi
  done
  echo "windows-libs: no source of $package could be fetched" >&2
  exit 1
}

# Runs a build step with its output in $work/<name>.log, shown if it fails.
quietly() {
  local name=$1
  shift
  if ! "$@" >"$work/$name.log" 2>&1; then
    tail -n 40 "$work/$name.log" >&2
    echo "windows-libs: $name failed; the whole output is in $work/$name.log" >&2
    exit 1
  fi
}

enable_sources
fetch bzip2
fetch xz-utils
fetch libzstd

# bzip2 has no cross build of its own: the library is seven C files.
if [ ! -f "$prefix/lib/libbz2.a" ]; then
  rm -rf bzip2-build && mkdir bzip2-build
  for f in blocksort huffman crctable randtable compress decompress bzlib; do
    quietly bzip2 $cc -O2 -c "bzip2/$f.c" -o "bzip2-build/$f.o"
  done
  mkdir -p "$prefix/lib" "$prefix/include"
  $host-ar rcs "$prefix/lib/libbz2.a" bzip2-build/*.o
  cp bzip2/bzlib.h "$prefix/include/"
fi

if [ ! -f "$prefix/lib/liblzma.a" ]; then
  rm -rf xz-build && mkdir xz-build
  (cd xz-build &&
    quietly xz-configure ../xz-utils/configure --host=$host CC=$cc --prefix="$prefix" \
      --disable-shared --enable-static --disable-xz --disable-xzdec --disable-lzmadec \
      --disable-lzmainfo --disable-lzma-links --disable-scripts --disable-doc --disable-nls &&
    quietly xz-make make -j"$jobs" -C src/liblzma install)
fi

if [ ! -f "$prefix/lib/libzstd.a" ]; then
  quietly zstd-configure cmake -S libzstd/build/cmake -B zstd-build -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib \
    -DZSTD_BUILD_PROGRAMS=OFF -DZSTD_BUILD_SHARED=OFF -DZSTD_BUILD_TESTS=OFF
  quietly zstd-build cmake --build zstd-build -j"$jobs"
  quietly zstd-install cmake --install zstd-build
fi
echo "windows-libs: liblzma, libzstd and libbz2 for Windows in $prefix"
