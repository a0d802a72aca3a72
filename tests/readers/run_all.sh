#!/bin/sh
# The reader checks of the output options: assimp, F3D and Blender over a few
# hundred generated models (tests/readers/check_options.py), then the GLB
# output against the glTF validator, three.js, Blender, assimp and F3D
# (tests/readers/check_glb.py). Blender, F3D, Node and the npm packages are
# installed on demand the first time (about a minute, some 300 MB).
#   run_all.sh [BUILD_DIR]    (default build; needs the native build)
# READER_MODELS sets the number of models (default 300).
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
status=0
/usr/bin/python3 "$root/tests/readers/check_options.py" \
    "$build/tests/quarlen_convert_opts" "$build/tests/quarlen_model_writer" "$build/readers-options" || status=1
/usr/bin/python3 "$root/tests/readers/check_glb.py" \
    "$build/tests/quarlen_convert_opts" "$build/tests/quarlen_model_writer" "$build/bench/quarlen_bench" \
    "$root/examples/sample.rsr" "$build/readers-glb" || status=1
exit "$status"
