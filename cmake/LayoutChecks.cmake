# The host records header compiled for the ABIs that cannot be built here: the
# two macOS targets and the two Windows ones. Its static_asserts are the check;
# clang is the only compiler at hand that targets all four.
if(CMAKE_CROSSCOMPILING)
  return()
endif()
find_program(TRESSEL_CLANGXX NAMES clang++)
foreach(target arm64-apple-macos11 x86_64-apple-macos11 i686-w64-mingw32 x86_64-w64-mingw32)
  if(TRESSEL_CLANGXX)
    add_test(NAME layout.HostRecords.${target}
      COMMAND ${TRESSEL_CLANGXX} -target ${target} -ffreestanding -fsyntax-only -std=c++17
              -I ${CMAKE_SOURCE_DIR} -x c++ ${CMAKE_SOURCE_DIR}/plugin/HostRecords.h)
  else()
    add_test(NAME layout.HostRecords.${target}
      COMMAND ${CMAKE_COMMAND} -E echo "clang++ not found: the ${target} layout of plugin/HostRecords.h is not checked")
    set_tests_properties(layout.HostRecords.${target} PROPERTIES SKIP_REGULAR_EXPRESSION "not checked")
  endif()
endforeach()
