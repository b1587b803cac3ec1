# The C++ runtime of a zig macOS build: zig builds libc++, libc++abi and
# compiler-rt for the target on first use and keeps them in its cache. A
# throwaway link with -v names them; the module links them statically (macOS
# has no libstdc++, and the host's libc++ need not match ours).
# Sets TRESSEL_MACOS_RUNTIME (the three archives) and TRESSEL_MACOS_LIBSYSTEM.
set(_probe_dir ${CMAKE_BINARY_DIR}/zig-runtime-probe)
file(MAKE_DIRECTORY ${_probe_dir})
file(WRITE ${_probe_dir}/probe.cpp "#include <stdexcept>\nint probe(int x) { if (x) throw std::runtime_error(\"x\"); return 0; }\n")
separate_arguments(_flags UNIX_COMMAND "${CMAKE_CXX_FLAGS}")
execute_process(
  COMMAND ${CMAKE_CXX_COMPILER} ${_flags} -O2 -shared probe.cpp -o probe.dylib -v
  WORKING_DIRECTORY ${_probe_dir}
  RESULT_VARIABLE _probe_result OUTPUT_VARIABLE _probe_out ERROR_VARIABLE _probe_out)
if(NOT _probe_result EQUAL 0)
  message(FATAL_ERROR "zig could not link a probe for ${TRESSEL_ZIG_TARGET}:\n${_probe_out}")
endif()
set(TRESSEL_MACOS_RUNTIME "")
foreach(_name libc++abi.a libc++.a libcompiler_rt.a)
  string(REPLACE "+" "\\+" _pattern "${_name}")
  string(REGEX MATCH "[^ \n]*/${_pattern}" _archive "${_probe_out}")
  if(NOT _archive OR NOT EXISTS "${_archive}")
    message(FATAL_ERROR "zig's link line names no ${_name}:\n${_probe_out}")
  endif()
  list(APPEND TRESSEL_MACOS_RUNTIME ${_archive})
endforeach()
# libSystem's link stubs for the oldest macOS the module supports, from zig's
# own library folder.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} --zig-env OUTPUT_VARIABLE _zig_env RESULT_VARIABLE _env_result)
if(NOT _env_result EQUAL 0)
  message(FATAL_ERROR "zig env failed")
endif()
string(JSON _zig_exe GET "${_zig_env}" zig_exe)
get_filename_component(_zig_dir "${_zig_exe}" DIRECTORY)
set(TRESSEL_MACOS_LIBSYSTEM ${_zig_dir}/lib/libc/darwin/libSystem.11.tbd)
if(NOT EXISTS "${TRESSEL_MACOS_LIBSYSTEM}")
  message(FATAL_ERROR "${TRESSEL_MACOS_LIBSYSTEM} does not exist")
endif()
