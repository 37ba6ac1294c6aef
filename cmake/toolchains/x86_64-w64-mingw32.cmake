# 64-bit Windows (the revision 1.0 deliverable) with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(KORVANE_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-posix.cmake)
