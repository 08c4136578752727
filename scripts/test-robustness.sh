#!/usr/bin/env bash
# The robustness checks, each in a build of its own:
#   1. the whole unit and end-to-end suite built with clang, AddressSanitizer,
#      UndefinedBehaviorSanitizer and LeakSanitizer (build-sanitize); any
#      report ends the test it came from, and so fails it;
#   2. the libFuzzer target (build-fuzz) over a copy of the seed corpus, for
#      FUZZ_SECONDS seconds (60 unless set), so that the repository is never
#      written; an input that breaks a property is kept in
#      build-fuzz/artifacts/;
#   3. the Release program (build) under hostile inputs, a memory limit,
#      outputs that stop taking bytes and failing system calls
#      (tests/e2e/run_robustness.py).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/ensure-packages.sh
ensure_build_packages
ensure_packages clang libclang-rt-14-dev strace util-linux

# A report halts the process: never a warning that scrolls by.
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

echo "== Unit and end-to-end suite under the sanitizers"
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DMBOXCLEAN_WERROR=ON -DMBOXCLEAN_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j2
ctest --test-dir build-sanitize --output-on-failure -j2

echo "== Fuzzing for ${FUZZ_SECONDS:-60} s"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DMBOXCLEAN_WERROR=ON -DMBOXCLEAN_FUZZ=ON \
  -DMBOXCLEAN_TESTS=OFF >/dev/null
cmake --build build-fuzz -j2 --target mboxclean_fuzzer
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp fuzz/corpus/* "$corpus"
mkdir -p build-fuzz/artifacts
log=build-fuzz/fuzz.log
if ! build-fuzz/fuzz/mboxclean_fuzzer -max_total_time="${FUZZ_SECONDS:-60}" \
  -dict=fuzz/mailbox.dict -artifact_prefix=build-fuzz/artifacts/ "$corpus" >"$log" 2>&1; then
  tail -n 40 "$log"
  echo "The fuzzer failed; the input it broke on is in build-fuzz/artifacts/." >&2
  exit 1
fi
grep -E '^Done [0-9]+ runs' "$log"

echo "== The Release program under hostile conditions"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DMBOXCLEAN_WERROR=ON >/dev/null
cmake --build build -j2 --target mboxclean
python3 tests/e2e/run_robustness.py --program build/mboxclean
