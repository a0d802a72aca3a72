#!/bin/sh
# Renders the bundled sample with F3D into docs/sample.png: examples/sample.rsr
# converted with --clean, drawn by F3D's geometry reader on an Xvfb screen.
#
# usage: tools/render_sample.sh [BUILD_DIR]   (default build)
# Needs the native build, f3d and xvfb (xvfb-run).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
# The console program once it takes the output options; until then the
# converter the reader checks use, which parses them the same way.
quarlen=$build/cli/quarlen
"$quarlen" --help 2>/dev/null | grep -q -- --clean || quarlen=$build/tests/quarlen_convert_opts
[ -x "$quarlen" ] || { echo "$0: no converter in $build; build first" >&2; exit 2; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$quarlen" --clean "$root/examples/sample.rsr" "$tmp/sample.obj" 2>/dev/null
# The geometry reader: F3D's material importer leaves out facets without
# texture corners (the roof) when other facets have them.
xvfb-run -a -s "-screen 0 1024x768x24" f3d --geometry-only --output="$root/docs/sample.png" \
    --resolution=800,450 --camera-azimuth-angle=35 --camera-elevation-angle=20 --edges --fxaa --grid \
    --color=0.85,0.6,0.45 --bg-color=0.93,0.93,0.93 "$tmp/sample.obj"
echo "wrote docs/sample.png"
