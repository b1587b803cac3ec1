# Cross build of the module for one macOS architecture (macOS 11 and later):
# zig's clang, macOS headers and libc++ compile it, Debian's Mach-O linker
# (ld64.lld) links it against libc++, libc++abi and compiler-rt built by zig
# and libSystem's link stubs. TRESSEL_MACOS_ARCH is arm64 or x86_64; the
# `macos` preset builds both and joins them (cmake/MacUniversal.cmake).
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_VERSION 20.0)  # Darwin 20: macOS 11
if(NOT TRESSEL_MACOS_ARCH)
  set(TRESSEL_MACOS_ARCH arm64)
endif()
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TRESSEL_MACOS_ARCH)
if(TRESSEL_MACOS_ARCH STREQUAL "arm64")
  set(CMAKE_SYSTEM_PROCESSOR arm64)
  set(TRESSEL_ZIG_TARGET aarch64-macos.11.0)
elseif(TRESSEL_MACOS_ARCH STREQUAL "x86_64")
  set(CMAKE_SYSTEM_PROCESSOR x86_64)
  set(TRESSEL_ZIG_TARGET x86_64-macos.11.0)
else()
  message(FATAL_ERROR "TRESSEL_MACOS_ARCH is '${TRESSEL_MACOS_ARCH}': arm64 or x86_64")
endif()
set(CMAKE_C_COMPILER ${CMAKE_CURRENT_LIST_DIR}/macos/zig-cc)
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/macos/zig-c++)
set(CMAKE_C_FLAGS_INIT "-target ${TRESSEL_ZIG_TARGET}")
set(CMAKE_CXX_FLAGS_INIT "-target ${TRESSEL_ZIG_TARGET}")
# No SDK and no xcrun: zig carries the headers, and nothing here asks for a sysroot.
set(CMAKE_OSX_SYSROOT "" CACHE PATH "" FORCE)
set(CMAKE_OSX_ARCHITECTURES "" CACHE STRING "" FORCE)
set(CMAKE_OSX_DEPLOYMENT_TARGET "" CACHE STRING "" FORCE)
# Compiler checks compile a static library only: linking an executable needs
# the runtime libraries found later (cmake/MacZigRuntime.cmake).
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
find_program(TRESSEL_LD64 NAMES ld64.lld-14 ld64.lld REQUIRED)
find_program(CMAKE_AR NAMES llvm-ar-14 llvm-ar REQUIRED)
find_program(CMAKE_RANLIB NAMES llvm-ranlib-14 llvm-ranlib REQUIRED)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
