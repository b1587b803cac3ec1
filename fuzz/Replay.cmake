# The fuzz targets as ordinary test programs: each is built with this build's
# compiler and flags, with ReplayMain.cpp in place of libFuzzer, and replays
# its corpus folder fuzz/corpus/<target> as the CTest test
# fuzz.replay.<target>. Included from tests/CMakeLists.txt.
# The cross builds run their tests under wine; the corpora are replayed in
# the native build only.
if(CMAKE_CROSSCOMPILING)
  return()
endif()

set(TRESSEL_FUZZ_DIR ${CMAKE_SOURCE_DIR}/fuzz)

add_library(tressel_fuzz_replay_host STATIC ${TRESSEL_FUZZ_DIR}/FuzzHost.cpp ${TRESSEL_FUZZ_DIR}/ReplayMain.cpp)
target_link_libraries(tressel_fuzz_replay_host PUBLIC tressel_core)

foreach(target SettingsStream SelectionList PascalString Group)
  add_executable(tressel_fuzz_replay_${target} ${TRESSEL_FUZZ_DIR}/${target}Fuzz.cpp)
  target_link_libraries(tressel_fuzz_replay_${target} PRIVATE tressel_fuzz_replay_host)
  add_test(NAME fuzz.replay.${target}
    COMMAND tressel_fuzz_replay_${target} ${TRESSEL_FUZZ_DIR}/corpus/${target})
endforeach()

# The importer's corpus: whole mesh files, the first byte choosing the format.
if(TARGET tressel_cli_io)
  add_executable(tressel_fuzz_replay_Import ${TRESSEL_FUZZ_DIR}/ImportFuzz.cpp ${TRESSEL_FUZZ_DIR}/ReplayMain.cpp)
  target_link_libraries(tressel_fuzz_replay_Import PRIVATE tressel_cli_io)
  add_dependencies(tressel_fuzz_replay_Import tressel_import)
  add_test(NAME fuzz.replay.Import
    COMMAND tressel_fuzz_replay_Import ${TRESSEL_FUZZ_DIR}/corpus/Import
    WORKING_DIRECTORY ${TRESSEL_FUZZ_DIR}/corpus/Import)
endif()
