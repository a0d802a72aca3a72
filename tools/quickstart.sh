#!/bin/sh
# Installs what is needed, builds quarlen, and converts the bundled sample.
set -eu
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
build/cli/quarlen examples/sample.rsr build/sample.obj
echo "--- build/sample.obj (first lines) ---"
head -n 12 build/sample.obj
