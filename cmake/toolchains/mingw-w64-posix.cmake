# Shared part of the MinGW-w64 cross toolchains; the including file sets
# KORVANE_MINGW_TRIPLET and CMAKE_SYSTEM_PROCESSOR first.
#
# The -posix compilers are used on purpose: the win32 thread model of the
# default ones has no std::thread or std::mutex.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 6.1)

set(CMAKE_C_COMPILER ${KORVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVANE_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${KORVANE_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${KORVANE_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

# Libraries and headers come from the MinGW sysroot only; programs (wine,
# windres) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KORVANE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests (and their discovery) run the Windows programs under Wine. Debian's
# "wine" starts 32- and 64-bit programs alike once wine32 and wine64 are
# installed.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(KORVANE_WINE wine)
  if(KORVANE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KORVANE_WINE})
  endif()
endif()
