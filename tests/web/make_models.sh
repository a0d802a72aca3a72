#!/bin/sh
# make_models.sh BUILD DIR: writes DIR/lib/, a tree of generated models for
# the web tests: a mixed and a plain model, odd models (names with spaces
# and control bytes, bare facets, values out of range), the fuzzing seeds
# (files cut short, hostile counts, junk after the end), the sample, and
# names with spaces and letters beyond ASCII. BUILD is the native build.
set -eu
build=$1
lib=$2/lib
mkdir -p "$lib/models" "$lib/odd" "$lib/seeds" "$lib/Ünïcode names"
"$build/tests/quarlen_model_writer" mixed "$lib/models/mixed.rsr" /dev/null
"$build/tests/quarlen_model_writer" plain "$lib/models/plain.RSR" /dev/null
"$build/tests/quarlen_model_writer" odd 0 40 "$lib/odd"
rm -f "$lib/odd/"*.expected
seeds=$(mktemp -d)
"$build/tests/quarlen_make_seeds" "$seeds" >/dev/null
for f in "$seeds"/*; do cp "$f" "$lib/seeds/$(basename "$f").rsr"; done
rm -rf "$seeds"
cp "$(dirname "$0")/../../examples/sample.rsr" "$lib/sample.rsr"
cp "$(dirname "$0")/../../examples/sample.rsr" "$lib/Ünïcode names/Haus am See.rsr"
