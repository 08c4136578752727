# What the Linux cross toolchain files share; each sets cross_triple (the
# GNU target triple), CMAKE_SYSTEM_PROCESSOR and cross_qemu (the user-mode
# emulator's name) and then includes this file.
set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${cross_triple}-gcc)
set(CMAKE_CXX_COMPILER ${cross_triple}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${cross_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static, so that the emulator needs no sysroot of the target at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The tests of the build run its programs under qemu's user-mode emulator.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(MBOXCLEAN_QEMU NAMES ${cross_qemu})
  if(MBOXCLEAN_QEMU)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${MBOXCLEAN_QEMU})
  endif()
endif()
