# Cross-compiles the Windows build with mingw-w64 (Debian: g++-mingw-w64-x86-64-posix).
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTESSARO_GUI=OFF
# Executables are linked statically, so they need no mingw DLLs beside them;
# the tests run under Wine through CMAKE_CROSSCOMPILING_EMULATOR.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TESSARO_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${TESSARO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSARO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSARO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TESSARO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees only the target's libraries, never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${TESSARO_MINGW_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(TESSARO_WINE NAMES wine wine64)
if(TESSARO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSARO_WINE})
endif()
