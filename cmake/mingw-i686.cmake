# 32-bit x86 Windows: the installer that ships (one file for 32- and 64-bit Windows).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(_triple i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
