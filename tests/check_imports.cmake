# Checks that a Windows program needs no DLL that Windows itself lacks: the
# GCC runtime, the C++ library and the threads library must be linked in.
# cmake -DOBJDUMP=... -DPROGRAM=path -P check_imports.cmake
execute_process(COMMAND "${OBJDUMP}" -p "${PROGRAM}"
                RESULT_VARIABLE result OUTPUT_VARIABLE headers ERROR_VARIABLE headers)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p failed (${result}):\n${headers}")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${headers}")
if(NOT imports)
  message(FATAL_ERROR "no DLL imports found in ${PROGRAM}")
endif()
set(names)
foreach(import IN LISTS imports)
  string(REPLACE "DLL Name: " "" name "${import}")
  string(TOLOWER "${name}" name)
  list(APPEND names ${name})
  # The system's own DLLs.
  if(NOT name MATCHES "^(kernel32|user32|msvcrt|advapi32|ntdll|ucrtbase|api-ms-win-.*)\\.dll$")
    message(FATAL_ERROR "${PROGRAM} needs ${name}, which is not part of Windows")
  endif()
endforeach()
message(STATUS "imports only system DLLs: ${names}")
