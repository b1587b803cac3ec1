# GoogleTest for a cross build: the distribution's prebuilt libraries are for
# the build machine, so build the sources (/usr/src/googletest by default) with
# this build's toolchain. The targets it makes carry the GTest:: names, and a
# redirect file makes the tests' find_package(GTest) accept them instead of
# finding the build machine's libraries.
set(TRESSEL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
if(NOT EXISTS ${TRESSEL_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "Cross builds need the GoogleTest sources in ${TRESSEL_GOOGLETEST_SOURCE} "
                      "(Debian: apt-get install googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${TRESSEL_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/gtest-config.cmake
  "# GTest:: targets come from the cross-built sources (cmake/CrossGoogleTest.cmake).\n")
