# Writes CHANGELOG.md as a Debian changelog, one entry per release:
#   cmake -DSOURCE=CHANGELOG.md -DOUTPUT=changelog -DMAINTAINER=... -P debian_changelog.cmake
# A release heading "## VERSION - DATE" starts an entry, "- " starts an item
# and a two-space indent continues it; every other line is left out.
file(STRINGS "${SOURCE}" lines ENCODING UTF-8)
set(text "")
set(trailer "")
foreach(line IN LISTS lines)
  if(line MATCHES "^## ([0-9][^ ]*) - ([0-9]+-[0-9]+-[0-9]+)$")
    string(APPEND text "${trailer}")
    set(version "${CMAKE_MATCH_1}")
    execute_process(COMMAND date -u -R -d "${CMAKE_MATCH_2} 12:00"
                    OUTPUT_VARIABLE when OUTPUT_STRIP_TRAILING_WHITESPACE
                    COMMAND_ERROR_IS_FATAL ANY)
    string(APPEND text "mboxclean (${version}) unstable; urgency=medium\n\n")
    set(trailer "\n -- ${MAINTAINER}  ${when}\n\n")
  elseif(version AND line MATCHES "^- (.*)$")
    string(APPEND text "  * ${CMAKE_MATCH_1}\n")
  elseif(version AND line MATCHES "^  (.*)$")
    string(APPEND text "    ${CMAKE_MATCH_1}\n")
  endif()
endforeach()
if(NOT version)
  message(FATAL_ERROR "${SOURCE} has no release heading")
endif()
string(APPEND text "${trailer}")
string(REGEX REPLACE "\n\n$" "\n" text "${text}")
file(WRITE "${OUTPUT}" "${text}")
