#!/usr/bin/env bash
# Cross-builds the Windows program with MinGW-w64 and runs, under Wine, its
# unit tests, the end-to-end suite and the byte-for-byte comparison with the
# native program. Installs the two packages it needs when they are missing;
# only if that installation fails does it skip, and says so.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/ensure-packages.sh

if ! ensure_packages g++-mingw-w64-x86-64 wine64; then
  echo "SKIPPED: Windows build and tests: could not install g++-mingw-w64-x86-64 and wine64"
  exit 0
fi
ensure_build_packages

# The native program the Windows one must match; scripts/test.sh builds it.
if [ ! -x build/mboxclean ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DMBOXCLEAN_WERROR=ON
  cmake --build build --target mboxclean --parallel 2
fi

# A fresh Wine prefix for every run, removed afterwards; the build then
# goes back to its own prefix, so that a later ctest does not remake this one.
prefix=$(mktemp -d "${TMPDIR:-/tmp}/mboxclean-wine.XXXXXX")
cleanup() {
  # Wine's server lingers a few seconds after its last program.
  WINEPREFIX="$prefix" /usr/lib/wine/wineserver64 -w || true
  rm -rf "$prefix"
  cmake -S . -B build-mingw -UMBOXCLEAN_WINEPREFIX >/dev/null || true
}
trap cleanup EXIT

cmake -S . -B build-mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DMBOXCLEAN_WERROR=ON \
  -DMBOXCLEAN_NATIVE_PROGRAM="$PWD/build/mboxclean" -DMBOXCLEAN_WINEPREFIX="$prefix"
cmake --build build-mingw --parallel 2
ctest --test-dir build-mingw --output-on-failure
