#!/bin/sh
# Zips the Blender add-on: DIST_DIR/quarlen-blender-VERSION.zip holds one
# folder, quarlen_rsr_import/, the add-on's package: blender/ with a copy of
# the reader (python/quarlen_rsr) inside, and the project's version in its
# bl_info (Blender 3.4's "Install...") and blender_manifest.toml (the
# extensions of Blender 4.2 and later).
#   tools/blender-zip.sh [DIST_DIR]    (default dist)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "${1:-$root/dist}"
dist=$(cd "${1:-$root/dist}" && pwd)
version=$(sed -n 's/^project(quarlen VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

pkg=$tmp/quarlen_rsr_import
mkdir -p "$pkg/quarlen_rsr"
cp "$root"/blender/*.py "$root/blender/blender_manifest.toml" "$root/LICENSE" "$pkg/"
cp "$root"/python/quarlen_rsr/*.py "$pkg/quarlen_rsr/"
sed -i "s/^version = \".*\"/version = \"$version\"/" "$pkg/blender_manifest.toml"
sed -i "s/\"version\": ([0-9, ]*)/\"version\": ($(echo "$version" | sed 's/\./, /g'))/" "$pkg/__init__.py"
zip="$dist/quarlen-blender-$version.zip"
rm -f "$zip"
(cd "$tmp" && find quarlen_rsr_import -type f | LC_ALL=C sort | zip -qX "$zip" -@)
echo "$zip"
