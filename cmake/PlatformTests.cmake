# Tests of the platform layer against the real system: the shared tests in
# tests/platform plus the current platform's own folder (tests/platform/windows).
# Built with hidden visibility and its exports enabled, as a host executable is,
# so the lookup test sees what a module would see.
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB TRESSEL_PLATFORM_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/platform/*.cpp)
if(WIN32)
  file(GLOB TRESSEL_PLATFORM_OS_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/platform/windows/*.cpp)
  list(APPEND TRESSEL_PLATFORM_TEST_SOURCES ${TRESSEL_PLATFORM_OS_TEST_SOURCES})
endif()
add_executable(tressel_platform_tests ${TRESSEL_PLATFORM_TEST_SOURCES})
target_link_libraries(tressel_platform_tests PRIVATE tressel_core GTest::gtest_main)
set_target_properties(tressel_platform_tests PROPERTIES
  ENABLE_EXPORTS ON CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
gtest_discover_tests(tressel_platform_tests TEST_PREFIX "platform." DISCOVERY_TIMEOUT 120)
if(WIN32)
  target_compile_definitions(tressel_platform_tests PRIVATE "TRESSEL_TEST_EXPORT=__declspec(dllexport)")
else()
  target_compile_definitions(tressel_platform_tests PRIVATE "TRESSEL_TEST_EXPORT=__attribute__((visibility(\"default\")))")
endif()
