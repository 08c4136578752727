# The manual page of this version, what `cmake --install` puts where, and
# the packages of `cmake --build BUILD --target package`: a Debian package
# on POSIX, a zip in the Windows build.
include(GNUInstallDirs)

set(MBOXCLEAN_MAINTAINER "mboxclean developers <maintainers@mboxclean.example>")
set(manual ${PROJECT_BINARY_DIR}/mboxclean.1)
configure_file(man/mboxclean.1.in ${manual} @ONLY)

if(WIN32)
  # Windows has no man: the page goes in the zip as plain text, beside the
  # program and the README, with nothing in folders.
  find_program(GROFF groff REQUIRED)
  add_custom_command(OUTPUT mboxclean.txt
    COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${GROFF} -man -Tascii -P-cbou ${manual} > mboxclean.txt
    DEPENDS ${manual} VERBATIM)
  add_custom_target(manual_text ALL DEPENDS mboxclean.txt)
  install(TARGETS mboxclean RUNTIME DESTINATION .)
  install(FILES README.md ${PROJECT_BINARY_DIR}/mboxclean.txt DESTINATION .)
else()
  # Debian's rules: the page and the changelog gzipped at the highest level
  # and without a timestamp, so that the package is the same on every build.
  find_program(GZIP gzip REQUIRED)
  add_custom_command(OUTPUT mboxclean.1.gz
    COMMAND ${GZIP} -9nf -k ${manual}
    DEPENDS ${manual} VERBATIM)
  add_custom_command(OUTPUT changelog.gz
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR}/CHANGELOG.md
            -DOUTPUT=${PROJECT_BINARY_DIR}/changelog "-DMAINTAINER=${MBOXCLEAN_MAINTAINER}"
            -P ${PROJECT_SOURCE_DIR}/cmake/debian_changelog.cmake
    COMMAND ${GZIP} -9nf changelog
    DEPENDS CHANGELOG.md cmake/debian_changelog.cmake VERBATIM)
  add_custom_target(package_documents ALL DEPENDS mboxclean.1.gz changelog.gz)
  install(TARGETS mboxclean RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_BINARY_DIR}/mboxclean.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES packaging/copyright ${PROJECT_BINARY_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

set(CPACK_PACKAGE_NAME mboxclean)
set(CPACK_PACKAGE_VENDOR "mboxclean developers")
set(CPACK_PACKAGE_CONTACT "${MBOXCLEAN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "write a cleaned copy of a mailbox file")
# One paragraph, in lines that fit a terminal as Debian asks.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "mboxclean reads a mailbox of messages that each begin with a line"
  "starting with 'From ' and writes a cleaned copy: trace, extension and"
  "list-management header fields are dropped, list footers (sponsor blocks,"
  "unsubscribe notices) are removed from plain-text bodies with everything"
  "after them, empty lines and signature separators that nothing follows"
  "are dropped, and every line ends with a single LF. It works in one pass,"
  "byte for byte, with no options, and its exit status tells whether the"
  "output is complete.")
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME mboxclean-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MBOXCLEAN_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION mail)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
