# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (posix threads:
# std::thread and std::mutex need winpthreads). Programs link the MinGW runtime
# statically, so an .exe needs only the DLLs that come with Windows; tests run
# under Wine through wine-run.sh.
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#         [-DCMAKE_PREFIX_PATH=<prefix of the Windows compression libraries>]
#
# The static Qt is built with packaging/qt/mingw-toolchain.cmake instead: that
# file is shipped inside the Qt prefix, whose qt.toolchain.cmake loads it, so it
# cannot name this folder's wine-run.sh nor carry the project's settings.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARNIMEX_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARNIMEX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNIMEX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNIMEX_MINGW_TRIPLET}-windres)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Headers, libraries and packages come from the MinGW sysroot and the prefixes
# given in CMAKE_PREFIX_PATH, never from the Linux host; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TARNIMEX_MINGW_TRIPLET} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# zlib's static library, not its import library (the .exe would need zlib1.dll).
set(ZLIB_USE_STATIC_LIBS ON)

# pkg-config likewise: only the target's .pc files.
set(_tarnimex_pc_dirs /usr/${TARNIMEX_MINGW_TRIPLET}/lib/pkgconfig)
foreach(_prefix IN LISTS CMAKE_PREFIX_PATH)
  list(PREPEND _tarnimex_pc_dirs ${_prefix}/lib/pkgconfig)
endforeach()
string(REPLACE ";" ":" _tarnimex_pc_dirs "${_tarnimex_pc_dirs}")
set(ENV{PKG_CONFIG_LIBDIR} "${_tarnimex_pc_dirs}")
set(ENV{PKG_CONFIG_PATH} "")

# ctest runs the tests through Wine, in the prefix that WINEPREFIX names
# (default: beside the build); test discovery waits until ctest so that
# building needs no Wine. (Each discovery may take up to a minute: Wine starts
# slowly on a busy machine.)
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh")
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
