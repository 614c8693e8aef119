#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Packs the Windows build as BUILD/tarnimex-<version>-windows-x86_64.zip: both
# programs (stripped; Qt and the MinGW runtime are linked in statically), the
# README, the licence, the licences of everything linked in, this program's
# source and SOURCES.txt, which says where Qt's exact source is and how to
# rebuild both (what a static link of LGPL code asks for).
#
#   tools/windows-package.sh BUILD QT_PREFIX LIBS_PREFIX
set -euo pipefail

[ $# -eq 3 ] || { echo "usage: $0 BUILD QT_PREFIX LIBS_PREFIX" >&2; exit 2; }
build=$(realpath "$1")
qt=$(realpath "$2")
libs=$(realpath "$3")
top=$(realpath "$(dirname "$0")/..")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=tarnimex-$version-windows-x86_64
for exe in src/ui/tarnimex.exe src/cli/tarnimex-convert.exe; do
  [ -f "$build/$exe" ] || { echo "$0: no $build/$exe: build with the window first" >&2; exit 1; }
done

stage=$build/package
rm -rf "$stage"
mkdir -p "$stage/$name/licenses"
dest=$stage/$name
x86_64-w64-mingw32-strip -o "$dest/tarnimex.exe" "$build/src/ui/tarnimex.exe"
x86_64-w64-mingw32-strip -o "$dest/tarnimex-convert.exe" "$build/src/cli/tarnimex-convert.exe"
# Only DLLs that come with Windows: none of the MinGW runtime, zlib or Qt.
for exe in "$dest"/*.exe; do
  foreign=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' |
            grep -iE '^(lib|qt|zlib)' || true)
  [ -z "$foreign" ] || { echo "$0: $exe needs DLLs Windows lacks: $foreign" >&2; exit 1; }
done
cp "$top/README.md" "$dest/README.md"
cp "$top/LICENSE" "$dest/LICENSE"

# Licences of what is linked in: Qt (its modules and the code bundled in it),
# the MinGW-w64 runtime and GCC's runtime libraries, the compression libraries.
cp -r "$qt/share/licenses/qt6-mingw-6.4.2" "$dest/licenses/qt"
cp "$qt/share/doc/qt6-mingw-6.4.2/BUILDINFO.txt" "$dest/licenses/qt/BUILDINFO.txt"
cp /usr/share/doc/mingw-w64-common/copyright "$dest/licenses/mingw-w64-runtime.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$dest/licenses/gcc-runtime.txt"
cp /usr/share/doc/libz-mingw-w64/copyright "$dest/licenses/zlib.txt"
for lib in xz-utils libzstd bzip2; do
  cp "$libs/work/$lib/debian/copyright" "$dest/licenses/$lib.txt"
done

# This program's exact source, from the commit the build was made from.
commit=unknown
if git -C "$top" rev-parse --git-dir >/dev/null 2>&1; then
  commit=$(git -C "$top" rev-parse HEAD)
  git -C "$top" diff --quiet HEAD || commit="$commit (with changes not committed)"
  git -C "$top" archive --prefix="tarnimex-$version/" -o "$dest/tarnimex-$version-source.tar.gz" HEAD
fi
sed -e "s|@VERSION@|$version|g" -e "s|@COMMIT@|$commit|g" "$top/packaging/SOURCES.txt.in" \
  > "$dest/SOURCES.txt"
cat "$qt/share/doc/qt6-mingw-6.4.2/BUILDINFO.txt" >> "$dest/SOURCES.txt"

rm -f "$build/$name.zip"
(cd "$stage" && zip -q -r -X -9 "$build/$name.zip.part" "$name")
mv "$build/$name.zip.part" "$build/$name.zip"
echo "Packed $build/$name.zip"
