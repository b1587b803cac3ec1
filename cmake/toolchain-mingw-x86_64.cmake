# Cross build for 64-bit Windows with mingw-w64 (the posix threading variant; its
# libwinpthread is linked statically, see the root CMakeLists).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TRESSEL_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER   ${TRESSEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRESSEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${TRESSEL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TRESSEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under wine; the root CMakeLists gives each build its own prefix.
find_program(TRESSEL_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
