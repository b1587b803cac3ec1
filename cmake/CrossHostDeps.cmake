# The substitute host's header-only libraries for a cross build. Their CMake
# packages on this machine describe the build machine (its /usr/include, which
# a cross compiler must not search), so each gets a redirect file that makes an
# interface target on a folder holding only that library's headers.
foreach(library nlohmann_json CLI11)
  if(library STREQUAL nlohmann_json)
    set(headers nlohmann)
  else()
    set(headers CLI)
  endif()
  set(TRESSEL_CROSS_INCLUDE ${CMAKE_BINARY_DIR}/cross-include/${library})
  if(NOT EXISTS /usr/include/${headers})
    message(FATAL_ERROR "The host's cross build needs the ${library} headers in /usr/include/${headers}")
  endif()
  file(MAKE_DIRECTORY ${TRESSEL_CROSS_INCLUDE})
  file(CREATE_LINK /usr/include/${headers} ${TRESSEL_CROSS_INCLUDE}/${headers} SYMBOLIC)
  string(TOLOWER ${library} lowercase)
  file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/${lowercase}-config.cmake "
if(NOT TARGET ${library}::${library})
  add_library(${library}::${library} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${library}::${library} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${TRESSEL_CROSS_INCLUDE})
endif()
")
endforeach()
