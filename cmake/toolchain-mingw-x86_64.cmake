# Cross build for 64-bit Windows with mingw-w64.
set(TRESSEL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TRESSEL_WINE_LOADER wine64)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
