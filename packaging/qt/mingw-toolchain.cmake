# SPDX-License-Identifier: GPL-3.0-or-later
# CMake toolchain file: cross-compile for 64-bit Windows with Debian's MinGW-w64
# (posix thread model), producing self-contained .exe files.
#
# Needs (Debian 12): g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
#
# Usage:
#   cmake -G Ninja -DCMAKE_TOOLCHAIN_FILE=/path/to/mingw-toolchain.cmake \
#         -DCMAKE_PREFIX_PATH=/path/to/qt6-mingw-6.4.2 -DQT_HOST_PATH=/usr ...
#
# The project itself builds with cmake/mingw-w64-x86_64.cmake: this file is
# shipped inside the Qt prefix (its qt.toolchain.cmake loads it from there), so
# it stays free of the project's settings (static zlib, the target's pkg-config
# files, tests under Wine through the project's wine-run.sh).

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_mingw_triplet x86_64-w64-mingw32)

# The -posix variants use winpthreads (std::thread, std::mutex work); the
# -win32 variants do not provide them in GCC 12.
set(CMAKE_C_COMPILER   ${_mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER  ${_mingw_triplet}-windres)

# Link libgcc, libstdc++ and libwinpthread statically: the .exe then only
# depends on DLLs that ship with Windows.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Search target headers/libraries/packages only in the MinGW sysroot and in the
# prefixes given with CMAKE_PREFIX_PATH (e.g. the unpacked static Qt); never in
# the Linux host's /usr. Programs (moc, rcc, ...) come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${_mingw_triplet})
foreach(_p IN LISTS CMAKE_PREFIX_PATH)
    list(APPEND CMAKE_FIND_ROOT_PATH "${_p}")
endforeach()
if(DEFINED ENV{CMAKE_PREFIX_PATH})
    string(REPLACE ":" ";" _env_prefixes "$ENV{CMAKE_PREFIX_PATH}")
    list(APPEND CMAKE_FIND_ROOT_PATH ${_env_prefixes})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Run cross-built test executables (ctest, try_run) through Wine if present.
find_program(_wine64 NAMES wine64 wine)
if(_wine64)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${_wine64}")
endif()
