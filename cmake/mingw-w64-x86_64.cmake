# Cross-building for 64-bit Windows with Debian's mingw-w64 (posix threads), tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELMOR_MINGW_HOST x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELMOR_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELMOR_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${VELMOR_MINGW_HOST}-windres)

# Headers and libraries come from the compiler and the dependency prefix, never from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VELMOR_MINGW_HOST} ${VELMOR_WIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No runtime DLLs to carry next to each program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

find_program(VELMOR_WINE wine)
if(VELMOR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELMOR_WINE})
endif()

# FFTW's pkg-config file from the dependency prefix (scripts/build-win-deps), not the host's.
if(VELMOR_WIN_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} ${VELMOR_WIN_PREFIX}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
  list(APPEND CMAKE_PREFIX_PATH ${VELMOR_WIN_PREFIX})
endif()
