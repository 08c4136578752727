# Sourced by the scripts: installs the Debian packages that are missing.
# ensure_packages PACKAGE... ; returns non-zero if the installation fails.
ensure_packages() {
  local missing=()
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing ${missing[*]}" >&2
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq >&2 &&
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >&2
}

# What every build and its tests need: groff renders the manual page in a
# test, and GNU time measures the benchmark's memory.
ensure_build_packages() {
  ensure_packages cmake ninja-build g++ libgtest-dev libgmock-dev python3 groff-base time
}
