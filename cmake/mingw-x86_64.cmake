# x86_64 Windows: the same sources built for the Wine tests, because the machines that run
# them execute 64-bit user code only (see tests/README.md).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
