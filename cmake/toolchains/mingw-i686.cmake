# Cross-compiling for Windows (i686) with mingw-w64 (Debian's
# i686-w64-mingw32-* tools). Used for the dependencies built by
# scripts/bootstrap.sh and for Rastelle itself:
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake ...

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_TRIPLE i686-w64-mingw32)

# The posix thread model: its libstdc++ has std::thread and std::mutex (which
# GoogleTest needs); winpthread is linked statically like the rest.
set(CMAKE_C_COMPILER ${TOOLCHAIN_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_TRIPLE}-windres)
set(CMAKE_AR ${TOOLCHAIN_TRIPLE}-ar CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB ${TOOLCHAIN_TRIPLE}-ranlib CACHE FILEPATH "Ranlib")

# Libraries and headers come from the mingw sysroot and, when given, from the
# prefix of the cross-built dependencies; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_TRIPLE})
if(RASTELLE_DEPS_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH "${RASTELLE_DEPS_PREFIX}")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES RASTELLE_DEPS_PREFIX)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
