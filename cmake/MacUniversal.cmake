# The `macos` preset: builds the module once per architecture in a build of
# its own (cmake/toolchain-macos.cmake), joins the two into one universal
# Tressel.plm with llvm-lipo, puts Tressel.rsc beside it, checks the result
# (ctest) and packs both into the macOS zip (cpack). The module cannot run
# here; the checks read its load commands, exports and architectures.
include(ExternalProject)
find_program(TRESSEL_LIPO NAMES llvm-lipo-14 llvm-lipo REQUIRED)
find_program(TRESSEL_OTOOL NAMES llvm-otool-14 llvm-otool REQUIRED)
find_program(TRESSEL_NM NAMES llvm-nm-14 llvm-nm REQUIRED)

set(TRESSEL_MACOS_ARCHES arm64 x86_64)
set(_slices "")
foreach(arch ${TRESSEL_MACOS_ARCHES})
  ExternalProject_Add(tressel_macos_${arch}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/${arch}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/toolchain-macos.cmake
      -DTRESSEL_MACOS_ARCH=${arch}
      -DCMAKE_BUILD_TYPE=Release
      -DTRESSEL_BUILD_HOST=OFF -DTRESSEL_BUILD_TESTS=OFF -DTRESSEL_BUILD_BENCHMARKS=OFF
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target Tressel
    BUILD_ALWAYS ON
    INSTALL_COMMAND "")
  list(APPEND _slices ${CMAKE_BINARY_DIR}/${arch}/bin/Tressel.plm)
endforeach()

set(TRESSEL_MACOS_MODULE ${CMAKE_BINARY_DIR}/bin/Tressel.plm)
add_custom_command(OUTPUT ${TRESSEL_MACOS_MODULE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/bin
  COMMAND ${TRESSEL_LIPO} -create ${_slices} -output ${TRESSEL_MACOS_MODULE}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/resources/Tressel.rsc ${CMAKE_BINARY_DIR}/bin/Tressel.rsc
  DEPENDS tressel_macos_arm64 tressel_macos_x86_64 ${_slices}
  COMMENT "Joining the macOS slices into one universal Tressel.plm")
add_custom_target(tressel_macos_module ALL DEPENDS ${TRESSEL_MACOS_MODULE})

enable_testing()
add_test(NAME macos.ModuleShape
  COMMAND ${CMAKE_SOURCE_DIR}/cmake/macos/check-module.sh ${TRESSEL_MACOS_MODULE} ${TRESSEL_LIPO} ${TRESSEL_OTOOL} ${TRESSEL_NM})

install(FILES ${TRESSEL_MACOS_MODULE} resources/Tressel.rsc README.md DESTINATION .)
set(CPACK_PACKAGE_NAME Tressel)
set(CPACK_PACKAGE_VENDOR "Tressel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Wires generator")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME Tressel-${PROJECT_VERSION}-macos)
include(CPack)
