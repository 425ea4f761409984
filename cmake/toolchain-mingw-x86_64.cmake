# Cross-compiling for Windows (x86_64) with the mingw-w64 toolchain.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUARNEL_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
