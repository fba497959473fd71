# Cross-building for 64-bit Windows with Debian's mingw-w64, POSIX-thread variant (std::thread and
# std::mutex through winpthread, linked statically into every binary we ship).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KVX_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KVX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KVX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KVX_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${KVX_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${KVX_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

# Libraries and headers come from the mingw-w64 sysroot and from the prefix of cross-built
# dependencies (KVX_WINDOWS_PREFIX); programs (ninja, pkg-config) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KVX_MINGW_TRIPLET})
if(DEFINED ENV{KVX_WINDOWS_PREFIX})
  list(APPEND CMAKE_FIND_ROOT_PATH $ENV{KVX_WINDOWS_PREFIX})
endif()
if(KVX_WINDOWS_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${KVX_WINDOWS_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test executables run under Wine: Debian's wine64 keeps its loader out of PATH.
find_program(KVX_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KVX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KVX_WINE})
endif()

# zlib linked statically, so that the plug-in needs no zlib1.dll.
set(ZLIB_LIBRARY /usr/${KVX_MINGW_TRIPLET}/lib/libz.a CACHE FILEPATH "")
set(ZLIB_INCLUDE_DIR /usr/${KVX_MINGW_TRIPLET}/include CACHE PATH "")

# pkg-config looks only at the cross-built prefix, never at the build machine's libraries. The
# prefix is handed on to CMake's own test projects, which read this file again.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KVX_WINDOWS_PREFIX)
if(KVX_WINDOWS_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} ${KVX_WINDOWS_PREFIX}/lib/pkgconfig)
elseif(DEFINED ENV{KVX_WINDOWS_PREFIX})
  set(ENV{PKG_CONFIG_LIBDIR} $ENV{KVX_WINDOWS_PREFIX}/lib/pkgconfig)
elseif(NOT DEFINED ENV{PKG_CONFIG_LIBDIR})
  set(ENV{PKG_CONFIG_LIBDIR} /usr/${KVX_MINGW_TRIPLET}/lib/pkgconfig)
endif()
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
