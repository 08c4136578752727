# Cross-compiles a 64-bit Windows program with Debian's MinGW-w64 packages
# (g++-mingw-w64-x86-64):
#   cmake -S . -B build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The result is one mboxclean.exe that needs nothing but the DLLs every
# Windows system has: the GCC runtime and the C++ library are linked in.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_prefix x86_64-w64-mingw32)
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
  find_program(MBOXCLEAN_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
  find_program(MBOXCLEAN_WINE NAMES wine64 wine)
  if(MBOXCLEAN_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${MBOXCLEAN_WINE})
  endif()
endif()
