# Installs the build into a fresh folder and checks the tree: each file the
# install must hold is there, the same bytes as in the build.
# cmake -DBUILD_DIR=... -DINSTALL_DIR=... "-DFILES=path=built;..." -P check_install.cmake
file(REMOVE_RECURSE "${INSTALL_DIR}")
execute_process(
  COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${INSTALL_DIR}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()

set(names "")
foreach(pair IN LISTS FILES)
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
  list(APPEND names "${installed}")
endforeach()
list(JOIN names ", " names)
message(STATUS "installed tree holds ${names}")
