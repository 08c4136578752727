# What the two MinGW-w64 toolchain files share; each sets mingw_prefix (the
# target triple), CMAKE_SYSTEM_PROCESSOR and mingw_wine (the Wine loader
# for that word size) and then includes this file.
set(CMAKE_SYSTEM_NAME Windows)

# The posix flavour: GoogleTest needs std::mutex, which the win32 flavour
# of GCC 12 lacks. With -static its threads library is linked in too.
set(CMAKE_C_COMPILER ${mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_prefix}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The tests of a cross build run the Windows programs under Wine.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(MBOXCLEAN_WINE NAMES ${mingw_wine} PATHS /usr/lib/wine NO_DEFAULT_PATH)
  find_program(MBOXCLEAN_WINE NAMES ${mingw_wine} wine)
  if(MBOXCLEAN_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${MBOXCLEAN_WINE})
  endif()
endif()
