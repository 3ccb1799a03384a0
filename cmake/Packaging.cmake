# What `cmake --install` puts where, and the packages cpack makes of it: a
# Debian package on Linux, a zip on Windows (the cross build).
set(CPACK_PACKAGE_NAME vellary)
set(CPACK_PACKAGE_VENDOR "The Vellary authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "display a text file with extra whitespace for readability")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # One folder holding the program, its README and licence, a first page for
  # Windows users (CR LF, so that every editor shows its lines) and the
  # example files it tells them to try.
  configure_file(${CMAKE_CURRENT_LIST_DIR}/README-Windows.txt.in
                 ${CMAKE_BINARY_DIR}/README-Windows.txt @ONLY NEWLINE_STYLE CRLF)
  install(TARGETS vellary RUNTIME DESTINATION .)
  install(FILES README.md LICENSE ${CMAKE_BINARY_DIR}/README-Windows.txt DESTINATION .)
  install(DIRECTORY examples/ DESTINATION examples)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME vellary-${PROJECT_VERSION}-win64)
  include(CPack)
  return()
endif()

install(TARGETS vellary RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Debian's tools want documentation compressed with gzip -9n (no name or time
# stamp inside, so that two builds give the same bytes).
find_program(VELLARY_GZIP gzip)
set(VELLARY_DOC_DIR ${CMAKE_BINARY_DIR}/doc)
set(VELLARY_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/vellary)
set(VELLARY_PACKAGE_MAINTAINER "The Vellary authors <vellary@example.org>"
    CACHE STRING "The maintainer the Debian package and its changelog name")

# The manual page takes its version from the project.
set(VELLARY_SHORT_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
configure_file(vellary.1 ${VELLARY_DOC_DIR}/vellary.1 @ONLY)

# The licence in Debian's machine-readable copyright format, its text taken
# from LICENSE: every line indented, blank lines written as " .".
file(READ ${PROJECT_SOURCE_DIR}/LICENSE VELLARY_LICENSE_TEXT)
string(REGEX REPLACE "\n$" "" VELLARY_LICENSE_TEXT "${VELLARY_LICENSE_TEXT}")
string(REPLACE "\n\n" "\n.\n" VELLARY_LICENSE_TEXT "${VELLARY_LICENSE_TEXT}")
string(REPLACE "\n" "\n " VELLARY_LICENSE_TEXT "${VELLARY_LICENSE_TEXT}")
file(WRITE ${VELLARY_DOC_DIR}/copyright.tmp
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: vellary

Files: *
Copyright: 2026 The Vellary authors
License: Expat
 ${VELLARY_LICENSE_TEXT}
")
# Rewritten only when it changes, so that a new configure rebuilds nothing.
configure_file(${VELLARY_DOC_DIR}/copyright.tmp ${VELLARY_DOC_DIR}/copyright COPYONLY)
install(FILES ${VELLARY_DOC_DIR}/copyright DESTINATION ${VELLARY_INSTALL_DOCDIR})

# The package's version has no Debian revision, which makes it a native
# package: its changelog, in Debian's format, is changelog.gz.
string(TIMESTAMP VELLARY_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${VELLARY_DOC_DIR}/changelog @ONLY)

if(VELLARY_GZIP)
  add_custom_command(
    OUTPUT ${VELLARY_DOC_DIR}/vellary.1.gz ${VELLARY_DOC_DIR}/changelog.gz
    COMMAND ${VELLARY_GZIP} -9nkf vellary.1 changelog
    DEPENDS ${VELLARY_DOC_DIR}/vellary.1 ${VELLARY_DOC_DIR}/changelog
    WORKING_DIRECTORY ${VELLARY_DOC_DIR})
  add_custom_target(vellary_docs ALL
    DEPENDS ${VELLARY_DOC_DIR}/vellary.1.gz ${VELLARY_DOC_DIR}/changelog.gz)
  install(FILES ${VELLARY_DOC_DIR}/vellary.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${VELLARY_DOC_DIR}/changelog.gz DESTINATION ${VELLARY_INSTALL_DOCDIR})
else()
  install(FILES ${VELLARY_DOC_DIR}/vellary.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${VELLARY_DOC_DIR}/changelog DESTINATION ${VELLARY_INSTALL_DOCDIR})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VELLARY_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION "Vellary reads a text file line by line and writes it to standard output or
to a file, reshaping it on the way: lines are selected or skipped by the
texts they contain, texts are replaced by search/replace pairs from a file,
blank or separator lines are put around matching lines, and text is
prepended or appended.")
include(CPack)
