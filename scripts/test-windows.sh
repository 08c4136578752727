#!/usr/bin/env bash
# Cross-builds the Windows program with MinGW-w64 and runs, under Wine, its
# unit tests, the end-to-end suite, the full-disk test and the byte-for-byte
# comparison with the native program. Installs the two packages it needs
# when they are missing; only if that installation fails does it skip, and
# says so.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/ensure-packages.sh
. scripts/cross-build.sh

if ! ensure_packages g++-mingw-w64-x86-64 wine64; then
  echo "SKIPPED: Windows build and tests: could not install g++-mingw-w64-x86-64 and wine64"
  exit 0
fi
ensure_build_packages
ensure_native_program
with_fresh_wine_prefix build-mingw mingw-w64-x86_64
