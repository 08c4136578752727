# Installs the build into a fresh folder and checks the tree: the program in
# bin/, the manual page in share/man/man1/, each the same bytes as its source.
# cmake -DBUILD_DIR=... -DINSTALL_DIR=... -DPROGRAM=name -P check_install.cmake
file(REMOVE_RECURSE "${INSTALL_DIR}")
execute_process(
  COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${INSTALL_DIR}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()

foreach(pair "bin/${PROGRAM}=${BUILD_DIR}/${PROGRAM}"
             "share/man/man1/mboxclean.1=${CMAKE_CURRENT_LIST_DIR}/../man/mboxclean.1")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 installed)
  list(GET pair 1 source)
  if(NOT EXISTS "${INSTALL_DIR}/${installed}")
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${INSTALL_DIR}/${installed}" "${source}"
                  RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "${installed} differs from ${source}")
  endif()
endforeach()
message(STATUS "installed tree holds bin/${PROGRAM} and share/man/man1/mboxclean.1")
