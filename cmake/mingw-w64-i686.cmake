# Cross-compiles a 32-bit Windows program with Debian's MinGW-w64 packages
# (g++-mingw-w64-i686; its tests run under Wine's 32-bit loader, wine32:i386
# after `dpkg --add-architecture i386`):
#   cmake -S . -B build-mingw32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
# The result is one mboxclean.exe that needs nothing but the DLLs every
# Windows system has: the GCC runtime and the C++ library are linked in.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(mingw_prefix i686-w64-mingw32)
set(mingw_wine wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
