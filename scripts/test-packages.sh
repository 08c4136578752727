#!/usr/bin/env bash
# Builds the two packages and tries them as a user would:
#   1. the Debian package (build): lintian must report no error; it is
#      installed with dpkg -i, cleans examples/sample.mbox from /usr/bin,
#      man -w finds its page, and dpkg -r removes it leaving no file behind;
#   2. the Windows zip (build-mingw, which scripts/test-windows.sh makes):
#      it must hold mboxclean.exe, a 64-bit Windows program, with the README
#      and the manual page as text.
# It installs into the system, so it refuses to run while a mboxclean
# package, or any /usr/bin/mboxclean, is already there: that install is the
# user's, and is left alone.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/ensure-packages.sh
ensure_build_packages
ensure_packages lintian dpkg-dev man-db zip unzip

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
installed_files=(/usr/bin/mboxclean /usr/share/man/man1/mboxclean.1.gz /usr/share/doc/mboxclean)

if dpkg-query -W -f='${Status}' mboxclean 2>/dev/null | grep -q 'installed'; then
  echo "test-packages: a mboxclean package is installed on this machine; remove it" \
    "(dpkg -r mboxclean) to run this test, which installs and removes its own" >&2
  exit 1
fi
for file in "${installed_files[@]}"; do
  if [ -e "$file" ]; then
    echo "test-packages: $file exists outside any package; move it away to run this test" >&2
    exit 1
  fi
done

version=$(sed -n 's/^project(mboxclean VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)

echo "== Debian package"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DMBOXCLEAN_WERROR=ON >/dev/null
cmake --build build --target package --parallel 2 >/dev/null
deb="build/mboxclean_${version}_${arch}.deb"
dpkg-deb --field "$deb" Package Version Depends Maintainer
lintian --fail-on error "$deb"
echo "lintian: no error"

removed=no
remove_package() {
  [ "$removed" = yes ] && return 0
  removed=yes
  "${sudo[@]}" dpkg -r mboxclean >/dev/null
}
trap remove_package EXIT
"${sudo[@]}" dpkg -i "$deb" >/dev/null
work=$(mktemp -d)
trap 'remove_package; rm -rf "$work"' EXIT
/usr/bin/mboxclean examples/sample.mbox "$work/sample.mbox" >"$work/console"
cmp "$work/sample.mbox" examples/sample.expected.mbox
page=$(man -w mboxclean)
[ "$page" = /usr/share/man/man1/mboxclean.1.gz ] || {
  echo "man -w mboxclean gives $page" >&2
  exit 1
}
zcat /usr/share/doc/mboxclean/changelog.gz | head -n 1 | grep -q "^mboxclean ($version)"
echo "installed: /usr/bin/mboxclean cleans the sample, man -w gives $page"
remove_package
for file in "${installed_files[@]}"; do
  if [ -e "$file" ]; then
    echo "dpkg -r left $file behind" >&2
    exit 1
  fi
done
if dpkg-query -W -f='${Status}' mboxclean 2>/dev/null | grep -qv 'not-installed'; then
  echo "dpkg -r left the package in state: $(dpkg-query -W -f='${Status}' mboxclean)" >&2
  exit 1
fi
echo "removed: nothing left behind"

echo "== Windows zip"
if [ ! -f build-mingw/CMakeCache.txt ]; then
  if ! ensure_packages g++-mingw-w64-x86-64; then
    echo "SKIPPED: Windows zip: could not install g++-mingw-w64-x86-64"
    exit 0
  fi
  cmake -S . -B build-mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DMBOXCLEAN_WERROR=ON >/dev/null
fi
cmake --build build-mingw --target package --parallel 2 >/dev/null
zip="build-mingw/mboxclean-${version}-win64.zip"
unzip -l "$zip"
top="mboxclean-${version}-win64"
for name in mboxclean.exe README.md mboxclean.txt; do
  unzip -l "$zip" "$top/$name" >/dev/null || {
    echo "$zip lacks $top/$name" >&2
    exit 1
  }
done
unzip -p "$zip" "$top/mboxclean.exe" >"$work/mboxclean.exe"
# A PE file for x86-64: "MZ", and at the offset in bytes 60-63 "PE\0\0"
# followed by the machine number 0x8664.
python3 - "$work/mboxclean.exe" <<'PYTHON'
import struct, sys
data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 60)[0]
if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0" or struct.unpack_from("<H", data, pe + 4)[0] != 0x8664:
    sys.exit("mboxclean.exe in the zip is no 64-bit Windows program")
PYTHON
unzip -p "$zip" "$top/mboxclean.txt" | grep -q "^EXIT STATUS"
unzip -p "$zip" "$top/README.md" | cmp - README.md
echo "zip: holds $top/mboxclean.exe (PE, x86-64), README.md and mboxclean.txt"
