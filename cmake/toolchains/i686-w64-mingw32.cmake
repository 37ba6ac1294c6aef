# 32-bit Windows (the revision 1.1 deliverable) with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KORVANE_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-posix.cmake)
