#!/bin/sh
# The reader checks of the output options: assimp, F3D and Blender over a few
# hundred generated models (tests/readers/check_options.py). Blender and F3D
# are installed on demand the first time (about a minute, some 265 MB).
#   run_all.sh [BUILD_DIR]    (default build; needs the native build)
# READER_MODELS sets the number of models (default 300).
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
exec /usr/bin/python3 "$root/tests/readers/check_options.py" \
    "$build/tests/quarlen_convert_opts" "$build/tests/quarlen_model_writer" "$build/readers-options"
