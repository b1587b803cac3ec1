# Shared by the two mingw-w64 toolchain files, which set TRESSEL_MINGW_TRIPLE,
# CMAKE_SYSTEM_PROCESSOR and TRESSEL_WINE_LOADER first. The posix threading
# variant of the compilers is used; its libwinpthread is linked statically
# (see the root CMakeLists).
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${TRESSEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRESSEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${TRESSEL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TRESSEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under wine; the root CMakeLists gives each build its own prefix.
find_program(TRESSEL_WINE NAMES ${TRESSEL_WINE_LOADER} PATHS /usr/lib/wine NO_DEFAULT_PATH)
