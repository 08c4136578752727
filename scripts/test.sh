#!/usr/bin/env bash
# Builds the program and runs the whole test suite: unit tests and the
# end-to-end suite, with warnings as errors, then the robustness checks, the
# Windows build under Wine and the two packages.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/ensure-packages.sh
ensure_build_packages

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DMBOXCLEAN_WERROR=ON
cmake --build build
ctest --test-dir build --output-on-failure
bash scripts/test-robustness.sh
bash scripts/test-windows.sh
# After the Windows stage, whose build-mingw makes the zip.
bash scripts/test-packages.sh
