#!/usr/bin/env bash
# Cross-builds the program for the other machines it runs on and tests each
# build under emulation, with Debian's cross compilers and emulators:
#   - ARM64 Linux (g++-aarch64-linux-gnu), static, under qemu-aarch64-static
#     (qemu-user-static), in build-aarch64: its line-end index takes NEON;
#   - big-endian s390x Linux (g++-s390x-linux-gnu), static, under
#     qemu-s390x-static, in build-s390x;
#   - 32-bit Windows (g++-mingw-w64-i686) under Wine's 32-bit loader
#     (wine32:i386, after `dpkg --add-architecture i386`), in build-mingw32,
#     in a fresh 32-bit Wine prefix removed afterwards.
# Each build runs its unit tests, the end-to-end suite and the full-disk
# test under the emulator, and compares its output files, console bytes and
# exit statuses with the native program's on the fixtures, the examples and
# a generated mailbox (tests/e2e/compare_programs.py). A target whose
# packages cannot be installed is reported SKIPPED and the others still
# run; a build or test failure fails the stage.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/ensure-packages.sh
. scripts/cross-build.sh

ensure_build_packages
ensure_native_program

skipped() {
  echo "SKIPPED: $1: could not install ${*:2}"
}

# Under qemu every unit test is a run of its own, and a start costs little.
echo "== ARM64 Linux under qemu"
if ensure_packages g++-aarch64-linux-gnu qemu-user-static; then
  CTEST_PARALLEL_LEVEL=2 cross_build build-aarch64 aarch64-linux-gnu
else
  skipped "ARM64 Linux build and tests" g++-aarch64-linux-gnu qemu-user-static
fi

echo "== s390x Linux (big-endian) under qemu"
if ensure_packages g++-s390x-linux-gnu qemu-user-static; then
  CTEST_PARALLEL_LEVEL=2 cross_build build-s390x s390x-linux-gnu
else
  skipped "s390x Linux build and tests" g++-s390x-linux-gnu qemu-user-static
fi

# Wine's tests run one at a time: they share the prefix that the first makes.
echo "== 32-bit Windows under Wine"
add_i386() {
  dpkg --print-foreign-architectures | grep -qx i386 && return 0
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" dpkg --add-architecture i386
}
if add_i386 && ensure_packages g++-mingw-w64-i686 wine32:i386; then
  with_fresh_wine_prefix build-mingw32 mingw-w64-i686
else
  skipped "32-bit Windows build and tests" g++-mingw-w64-i686 wine32:i386
fi
