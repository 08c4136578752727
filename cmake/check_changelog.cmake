# The newest section of CHANGELOG.md is the release the build makes:
#   cmake -DCHANGELOG=... -DVERSION=... -DDATE=... -P check_changelog.cmake
file(STRINGS "${CHANGELOG}" headings REGEX "^## ")
if(NOT headings)
  message(FATAL_ERROR "${CHANGELOG} has no release section")
endif()
list(GET headings 0 newest)
if(NOT newest STREQUAL "## ${VERSION} - ${DATE}")
  message(FATAL_ERROR "newest section of ${CHANGELOG} is \"${newest}\", "
                      "the build is version ${VERSION} of ${DATE}")
endif()
message(STATUS "CHANGELOG.md starts with ${VERSION} of ${DATE}")
