# Cross build for 64-bit Windows with MinGW-w64 (the posix threads variant of
# Debian's g++-mingw-w64-x86-64-posix):
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# The C and C++ runtimes are linked statically, so the .exe files need no
# DLL beside them and run on a bare Windows. With wine64 installed, programs
# and tests built here run under Wine (CTest goes through
# CMAKE_CROSSCOMPILING_EMULATOR; see scripts/windows.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ONDA_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ONDA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ONDA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ONDA_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ONDA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs built here run under Wine when it is installed.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(ONDA_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
  if(ONDA_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ONDA_WINE})
  endif()
endif()
