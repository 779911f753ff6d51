# The 32-bit Windows console build, cross-compiled with MinGW-w64 (Debian's
# g++-mingw-w64-i686) and run under 32-bit Wine. What it shares with the
# 64-bit build is in mingw-w64.cmake.
#
# -msse2 -mfpmath=sse: double arithmetic in the SSE unit, IEEE binary64 exactly
# as on x86-64. Left to the x87, a double would be computed at the x87's
# precision and rounded only when stored. long double stays the x87 Extended.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MODSIN_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

# CTest runs every test program, and gtest_discover_tests lists their tests,
# through Wine. Debian's wine starts the 32-bit loader, where wine32 is
# installed; on a machine that runs no 32-bit code it cannot start, and the
# tests run only what needs no Windows program (tests/CMakeLists.txt).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
