#!/usr/bin/env bash
# Builds the program and cleans the sample mailbox that ships with it.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/ensure-packages.sh
ensure_build_packages
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target mboxclean >/dev/null
./build/mboxclean examples/sample.mbox examples/sample.cleaned.mbox
echo
echo "Cleaned copy written to $(pwd)/examples/sample.cleaned.mbox"
echo "Compare: diff examples/sample.mbox examples/sample.cleaned.mbox"
