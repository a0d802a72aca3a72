#!/bin/sh
# Builds the release artefacts from scratch into dist/:
#   dist/quarlen_VERSION_amd64.deb    the console program and its manual page
#   dist/quarlen-VERSION-win32.zip    the Windows program(s), README.txt, LICENSE.txt
#   dist/quarlen-VERSION-web.zip      the web page: web/dist/ for any static web server
#   dist/quarlen-blender-VERSION.zip  the Blender add-on (tools/blender-zip.sh): one
#                                     zip that Blender 3.4 to 4.1 install as an add-on
#                                     and 4.2 and later as an extension
#   dist/quarlen_rsr-VERSION-py3-none-any.whl  the Python reader (tools/python-wheel.sh)
# Each is built in a fresh build tree under build-release/, so nothing left
# from an earlier build gets in. Needs what tools/install-deps.sh --all
# installs; tests/release/check.sh checks the result.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)

if [ -n "$(git status --porcelain 2>/dev/null)" ]; then
    echo "release: note: the work tree has changes that are not committed; they go in" >&2
fi

rm -rf build-release dist
mkdir dist

echo "== the Debian package"
cmake -S . -B build-release/linux -DCMAKE_BUILD_TYPE=Release -DQUARLEN_TESTS=OFF >/dev/null
cmake --build build-release/linux -j"$jobs"
(cd build-release/linux && cpack -G DEB -B "$root/build-release/linux/package" >/dev/null)
cp build-release/linux/package/*.deb dist/

echo "== the Windows zip"
cmake -S . -B build-release/windows -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build build-release/windows -j"$jobs"
(cd build-release/windows && cpack -G ZIP -B "$root/build-release/windows/package" >/dev/null)
cp build-release/windows/package/*.zip dist/

echo "== the web page"
tools/build-web.sh >/dev/null
version=$(sed -n 's/^project(quarlen VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
(cd web/dist && zip -qrX "$root/dist/quarlen-$version-web.zip" .)

echo "== the Blender add-on"
tools/blender-zip.sh dist >/dev/null

echo "== the Python wheel"
tools/python-wheel.sh dist >/dev/null

echo "== dist/"
ls -l dist
