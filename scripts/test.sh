#!/usr/bin/env bash
# Builds the program and runs the whole test suite, with warnings as errors:
# the unit tests and the end-to-end suite, then the robustness builds
# (scripts/test-robustness.sh), the 64-bit Windows build under Wine
# (scripts/test-windows.sh), the two packages (scripts/test-packages.sh)
# and the ARM64, s390x and 32-bit Windows builds under emulation
# (scripts/test-cross.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/ensure-packages.sh
ensure_build_packages
# Google Benchmark, for the benchmark of the line loop and its test.
ensure_packages libbenchmark-dev

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DMBOXCLEAN_WERROR=ON
cmake --build build
ctest --test-dir build --output-on-failure
bash scripts/test-robustness.sh
bash scripts/test-windows.sh
# After the Windows stage, whose build-mingw makes the zip.
bash scripts/test-packages.sh
bash scripts/test-cross.sh
