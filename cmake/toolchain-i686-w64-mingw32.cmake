# The 32-bit Windows console build, cross-compiled with MinGW-w64 (Debian's
# g++-mingw-w64-i686) and run under Wine.
#
# The -posix compilers: the default (-win32) ones lack std::mutex, which
# GoogleTest needs. Everything is linked -static, so that the C++ run-time and
# winpthread go into each .exe and a program needs no DLL beyond the Windows
# system ones.
#
# -msse2 -mfpmath=sse: double arithmetic in the SSE unit, IEEE binary64 exactly
# as on x86-64. Left to the x87, a double would be computed at the x87's
# precision and rounded only when stored. long double stays the x87 Extended.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(MODSIN_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${MODSIN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MODSIN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MODSIN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MODSIN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# CTest runs every test program, and gtest_discover_tests lists their tests,
# through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
