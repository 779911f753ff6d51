# The 64-bit Windows console build, cross-compiled with MinGW-w64 (Debian's
# g++-mingw-w64-x86-64-posix) and run under 64-bit Wine. What it shares with
# the 32-bit build is in mingw-w64.cmake.
#
# x86-64 does double arithmetic in the SSE unit anyway, IEEE binary64 as on
# Linux; long double is the x87 Extended here too (in 16 bytes).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MODSIN_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

# ASLR over the whole 64-bit address space, not only its lowest 4 GiB. ld
# puts a 64-bit program's image base above 4 GiB (0x140000000) by default.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--high-entropy-va")

# CTest runs every test program, and gtest_discover_tests lists their tests,
# through the 64-bit Wine loader, named in full: Debian's wine starts the
# 32-bit loader whenever wine32 is installed.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
