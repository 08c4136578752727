# Cross-compiles a 64-bit Windows program with Debian's MinGW-w64 packages
# (g++-mingw-w64-x86-64; its tests run under wine64):
#   cmake -S . -B build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The result is one mboxclean.exe that needs nothing but the DLLs every
# Windows system has: the GCC runtime and the C++ library are linked in.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(mingw_prefix x86_64-w64-mingw32)
set(mingw_wine wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
