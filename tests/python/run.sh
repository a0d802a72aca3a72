#!/bin/sh
# The Python reader against the native build (pytest), then the Blender
# add-on from its release zip in headless Blender.
#   tests/python/run.sh [BUILD_DIR]    (default build; needs the native build)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
# pytest's status 5 (no tests collected) fails this script like any other.
QUARLEN_BUILD=$build PYTHONPATH=$root/python /usr/bin/python3 -m pytest -q -p no:cacheprovider "$root/tests/python"
/usr/bin/python3 "$root/tests/blender/check_addon.py" "$build" "$build/blender-addon"
