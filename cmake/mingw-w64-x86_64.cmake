# Cross-compiling for 64-bit Windows with Debian's mingw-w64:
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The posix compilers, because the default win32 thread model has no std::thread. Programs
# are linked statically: under wine a program that cannot find its runtime libraries exits
# without a word. Tests (and any tool the build runs) run under wine64, which Debian keeps
# out of PATH.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(FLASHTOOL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${FLASHTOOL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FLASHTOOL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${FLASHTOOL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${FLASHTOOL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# mingw checks printf formats against Microsoft's printf, which knows no %zu; the program's
# formatting runs on mingw's C99 printf, and the Linux build checks every format.
set(CMAKE_CXX_FLAGS_INIT "-Wno-format")
set(ZLIB_USE_STATIC_LIBS ON)

find_program(FLASHTOOL_WINE64 wine64 HINTS /usr/lib/wine /usr/lib/x86_64-linux-gnu/wine)
if(FLASHTOOL_WINE64 AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${FLASHTOOL_WINE64})
endif()
