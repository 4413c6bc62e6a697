# Cross-building for 64-bit Windows with Debian's mingw-w64 (posix threads), tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELMOR_MINGW_HOST x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELMOR_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELMOR_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${VELMOR_MINGW_HOST}-windres)

# Headers and libraries come from the compiler and the dependency prefix, never from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VELMOR_MINGW_HOST} ${VELMOR_WIN_PREFIX} ${VELMOR_WIN_QT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# moc, rcc and uic for the Windows Qt of scripts/build-win-qt are the host's.
if(VELMOR_WIN_QT)
  set(QT_HOST_PATH /usr)
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
endif()

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
if(VELMOR_WIN_QT)
  list(APPEND CMAKE_PREFIX_PATH ${VELMOR_WIN_QT})
endif()
