#!/bin/sh
# Renders the bundled sample as the Blender add-on imports it into
# docs/blender.png: the add-on installed from its zip (tools/blender-zip.sh)
# in a Blender of its own, examples/sample.rsr imported with the defaults,
# drawn by the Workbench engine. Needs blender.
#
# usage: tools/render_blender.sh
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
zip=$("$root/tools/blender-zip.sh" "$tmp")
HOME=$tmp blender -b --factory-startup --python "$root/tools/render_blender.py" -- \
    "$zip" "$root/examples/sample.rsr" "$root/docs/blender.png" >"$tmp/blender.log" 2>&1 ||
    { cat "$tmp/blender.log" >&2; exit 1; }
echo "wrote docs/blender.png"
