# Sourced by the scripts that test a cross build: the native program it must
# match, and one build for another machine, configured, built and tested
# under its emulator.

# build/mboxclean, the native program the cross-built ones are compared
# with; scripts/test.sh builds it before these stages run.
ensure_native_program() {
  if [ ! -x build/mboxclean ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DMBOXCLEAN_WERROR=ON >/dev/null
    cmake --build build --target mboxclean --parallel 2
  fi
}

# cross_build DIR TOOLCHAIN [CMAKE_ARGUMENT...]: configures DIR with
# cmake/TOOLCHAIN.cmake, builds the program and its tests, and runs ctest,
# whose tests run the target's programs under the emulator the toolchain
# file names. The steps are chained, as set -e does not hold in a function
# whose status is tested.
cross_build() {
  local dir=$1 toolchain=$2
  shift 2
  cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/$toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DMBOXCLEAN_WERROR=ON \
    -DMBOXCLEAN_NATIVE_PROGRAM="$PWD/build/mboxclean" "$@" >/dev/null &&
    cmake --build "$dir" --parallel 2 &&
    ctest --test-dir "$dir" --output-on-failure
}

# with_fresh_wine_prefix DIR TOOLCHAIN [CMAKE_ARGUMENT...]: cross_build in a
# Wine prefix made for this run and removed afterwards; the build then goes
# back to its own prefix, so that a later ctest does not remake this one.
with_fresh_wine_prefix() {
  local dir=$1 prefix status=0
  prefix=$(mktemp -d "${TMPDIR:-/tmp}/mboxclean-wine.XXXXXX")
  cross_build "$@" -DMBOXCLEAN_WINEPREFIX="$prefix" || status=$?
  # Wine's server lingers a few seconds after its last program.
  WINEPREFIX="$prefix" /usr/lib/wine/wineserver -w || true
  rm -rf "$prefix"
  cmake -S . -B "$dir" -UMBOXCLEAN_WINEPREFIX >/dev/null || true
  return "$status"
}
