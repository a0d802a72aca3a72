#!/bin/sh
# make_models.sh BUILD DIR: writes DIR/lib/, a tree of generated models for
# the web tests: a mixed and a plain model, odd models (names with spaces
# and control bytes, bare facets, values out of range), the fuzzing seeds
# (files cut short, hostile counts, junk after the end), the sample, and
# names with spaces and letters beyond ASCII; DIR/big/, a library of
# 510 MB; and DIR/many/, 10,000 small files. BUILD is the native build.
set -eu
build=$1
lib=$2/lib
mkdir -p "$lib/models" "$lib/odd" "$lib/seeds" "$lib/Ünïcode names"
"$build/tests/quarlen_model_writer" mixed "$lib/models/mixed.rsr" /dev/null
"$build/tests/quarlen_model_writer" plain "$lib/models/plain.RSR" /dev/null
"$build/tests/quarlen_model_writer" odd 0 40 "$lib/odd"
rm -f "$lib/odd/"*.expected
"$build/tests/quarlen_make_seeds" "$lib/seeds" >/dev/null
for f in "$lib/seeds"/*; do mv "$f" "$f.rsr"; done
cp "$(dirname "$0")/../../examples/sample.rsr" "$lib/sample.rsr"
cp "$(dirname "$0")/../../examples/sample.rsr" "$lib/Ünïcode names/Haus am See.rsr"

# DIR/big/: a library of 510 MB, 34 links to one generated 15 MB model
# (192,000 facets) in a folder tree.
big=$2/big
mkdir -p "$big/shelf/box"
"$build/bench/quarlen_bench" --model "$big/model-00.rsr" 40 4800
for i in $(seq 1 33); do
    case $((i % 3)) in 0) to=$big ;; 1) to=$big/shelf ;; *) to=$big/shelf/box ;; esac
    ln "$big/model-00.rsr" "$to/model-$(printf %02d "$i").rsr"
done

# DIR/many/: 10,000 small files in 10 folders for the table: links to the
# sample, every 1,000th to a seed that fails.
many=$2/many
for d in 0 1 2 3 4 5 6 7 8 9; do
    mkdir -p "$many/$d"
    for i in $(seq -w 0 999); do
        case $i in 500) from=$lib/seeds/bad_value.rsr ;; *) from=$lib/sample.rsr ;; esac
        ln "$from" "$many/$d/m$i.rsr"
    done
done
