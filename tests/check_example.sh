#!/bin/sh
# The bundled sample is what the project's generator and converter make
# today, and an independent reader (assimp) loads it with the expected counts.
#   check_example.sh MAKE_EXAMPLE QUARLEN SOURCE_DIR
set -eu
make_example=$1 quarlen=$2 src=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$make_example" "$tmp/sample.rsr"
cmp "$tmp/sample.rsr" "$src/examples/sample.rsr"
"$quarlen" "$tmp/sample.rsr" "$tmp/sample.obj" 2>"$tmp/notices"
cmp "$tmp/sample.obj" "$src/examples/sample.obj"
grep -q "^$tmp/sample.obj: Finished. " "$tmp/notices"

# Without post-processing assimp keeps the 17 facets and gives each of their
# 64 corners a vertex of its own.
assimp info "$src/examples/sample.obj" --raw >"$tmp/info"
grep -Eq '^Faces: +17$' "$tmp/info"
grep -Eq '^Vertices: +64$' "$tmp/info"
echo "sample: generated, converted and read back as expected"
