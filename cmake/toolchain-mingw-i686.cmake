# Cross build for 32-bit Windows with mingw-w64.
set(TRESSEL_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TRESSEL_WINE_LOADER wine)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
