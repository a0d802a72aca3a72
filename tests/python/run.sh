#!/bin/sh
# The Python reader against the native build (pytest), the add-on's zip as
# an extension, then the add-on (and meshio) in headless Blender.
#   tests/python/run.sh [BUILD_DIR]    (default build; needs the native build)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
# pytest's status 5 (no tests collected) fails this script like any other.
QUARLEN_BUILD=$build PYTHONPATH=$root/python /usr/bin/python3 -m pytest -q -p no:cacheprovider "$root/tests/python"
version=$(sed -n 's/^project(quarlen VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
/usr/bin/python3 "$root/tests/blender/check_manifest.py" "$("$root/tools/blender-zip.sh" "$build/blender-zip")" "$version"
/usr/bin/python3 "$root/tests/blender/check_addon.py" "$build" "$build/blender-addon"
