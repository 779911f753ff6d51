# What both Windows toolchain files share: MinGW-w64's compilers for
# MODSIN_MINGW_PREFIX (i686-w64-mingw32 or x86_64-w64-mingw32), which the
# toolchain file sets, with CMAKE_SYSTEM_PROCESSOR, before it includes this
# file.
#
# The -posix compilers: the default (-win32) ones lack std::mutex, which
# GoogleTest needs. Everything is linked -static, so that the C++ run-time and
# winpthread go into each .exe and a program needs no DLL beyond the Windows
# system ones.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${MODSIN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MODSIN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MODSIN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MODSIN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ASLR and DEP: --dynamicbase lets Windows load a program anywhere, which it can
# only do with the base relocations that ld then keeps in .reloc (the imports
# test reads both); --nxcompat has it run with data pages not executable.
# Recent ld sets both by default; said here so that an older one does too.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--dynamicbase -Wl,--nxcompat")
