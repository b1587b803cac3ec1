# Install rules and the packages made from them (cpack).
#
# Linux: the layout of a tool under a prefix; the command finds the module in
# ../lib/tressel from its own folder, and the module its resource file beside
# itself, so an installed tree works without flags or variables:
#   bin/tressel
#   lib/tressel/Tressel.plm, lib/tressel/Tressel.rsc
#   lib/tressel/tressel-import  the import worker the command starts
#   share/doc/tressel/        README.md and docs/
#   share/man/man1/tressel.1
#   share/bash-completion/completions/tressel
#   share/tressel/examples/   the bundled example the command falls back on
# Windows: a flat zip of both modules and the resource file, made in the win64
# build; the 32-bit module comes from the win32 build named by
# TRESSEL_WIN32_MODULE (the win64 preset points there).
set(CPACK_PACKAGE_NAME Tressel)
set(CPACK_PACKAGE_VENDOR "Tressel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Wires generator")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)
if(WIN32)
  install(TARGETS Tressel LIBRARY DESTINATION .)
  set(TRESSEL_WIN32_MODULE "" CACHE FILEPATH "The 32-bit Tressel.plm to put in the Windows zip beside the 64-bit module")
  if(CMAKE_SIZEOF_VOID_P EQUAL 8 AND TRESSEL_WIN32_MODULE)
    # Not OPTIONAL: a zip without the 32-bit module is not a release.
    install(FILES ${TRESSEL_WIN32_MODULE} DESTINATION .)
  endif()
  install(FILES resources/Tressel.rsc README.md DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME Tressel-${PROJECT_VERSION}-windows)
else()
  include(GNUInstallDirs)
  # Fixed rather than CMAKE_INSTALL_LIBDIR (lib/x86_64-linux-gnu under /usr on
  # Debian): the command looks exactly in ../lib/tressel.
  set(TRESSEL_INSTALL_MODULEDIR lib/tressel)
  set(TRESSEL_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tressel)
  install(TARGETS Tressel LIBRARY DESTINATION ${TRESSEL_INSTALL_MODULEDIR})
  install(FILES resources/Tressel.rsc DESTINATION ${TRESSEL_INSTALL_MODULEDIR})
  if(TARGET tressel)
    install(TARGETS tressel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(TARGETS tressel_import RUNTIME DESTINATION ${TRESSEL_INSTALL_MODULEDIR})
    install(FILES docs/tressel.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES cli/completion/tressel.bash DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions
            RENAME tressel)
    install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/tressel/examples)
  endif()
  install(FILES README.md DESTINATION ${TRESSEL_INSTALL_DOCDIR})
  install(DIRECTORY docs/ DESTINATION ${TRESSEL_INSTALL_DOCDIR}/docs PATTERN tressel.1 EXCLUDE)
  set(CPACK_GENERATOR TGZ)
  set(CPACK_PACKAGE_FILE_NAME Tressel-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME})
endif()
include(CPack)
