# Cross-compiles a static big-endian s390x Linux program with Debian's
# packages (g++-s390x-linux-gnu; its tests run under qemu-s390x-static from
# qemu-user-static):
#   cmake -S . -B build-s390x -DCMAKE_TOOLCHAIN_FILE=cmake/s390x-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(cross_triple s390x-linux-gnu)
set(cross_qemu qemu-s390x-static)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
