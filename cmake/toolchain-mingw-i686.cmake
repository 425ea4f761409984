# Cross-compiling for Windows (i686) with the mingw-w64 toolchain.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUARNEL_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

# Floating point in SSE2 registers, as the 64-bit build and the native one do:
# the x87's extended precision would carry the coverage arithmetic's steps
# past double, and 5000 / 0.1 would truncate to 49 999 instead of 50 000. The
# programs then need a processor with SSE2 (Pentium 4, Athlon 64 and later).
# The top CMakeLists.txt adds these to every compile, so that a build folder
# configured before they were set picks them up too.
set(QUARNEL_TARGET_FLAGS -msse2 -mfpmath=sse)
