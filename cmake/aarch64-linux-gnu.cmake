# Cross-compiles a static ARM64 Linux program with Debian's packages
# (g++-aarch64-linux-gnu; its tests run under qemu-aarch64-static from
# qemu-user-static):
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(cross_triple aarch64-linux-gnu)
set(cross_qemu qemu-aarch64-static)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
