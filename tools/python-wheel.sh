#!/bin/sh
# Builds the Python reader's wheel, DIST_DIR/quarlen_rsr-VERSION-py3-none-any.whl,
# offline: Debian's python3-build without isolation, on a copy of python/
# (so no build/ or .egg-info is left in the tree) beside CMakeLists.txt, from
# which setup.py reads the version.
#   tools/python-wheel.sh [DIST_DIR]    (default dist)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "${1:-$root/dist}"
dist=$(cd "${1:-$root/dist}" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

mkdir -p "$tmp/python/quarlen_rsr"
cp "$root/CMakeLists.txt" "$tmp/"
cp "$root"/python/pyproject.toml "$root"/python/setup.py "$root"/python/README.md "$root/LICENSE" "$tmp/python/"
cp "$root"/python/quarlen_rsr/*.py "$tmp/python/quarlen_rsr/"
/usr/bin/python3 -m build --wheel --no-isolation --outdir "$tmp/out" "$tmp/python" >"$tmp/build.log" 2>&1 ||
    { cat "$tmp/build.log" >&2; exit 1; }
wheel=$(ls "$tmp"/out/*.whl)
cp "$wheel" "$dist/"
echo "$dist/$(basename "$wheel")"
