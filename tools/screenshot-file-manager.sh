#!/bin/bash
# Takes docs/file-manager.png: PCManFM's window showing a folder of .rsr
# files as their pictures, which it asks the installed package's
# thumbnailer for (/usr/share/thumbnailers/quarlen.thumbnailer), on an
# 800x600 Xvfb screen.
# The models come from the project's own generators: the sample house, the
# picture benchmark's spheres, the benchmark's model with few points, and
# the reader tests' models.
#
# usage: tools/screenshot-file-manager.sh [BUILD_DIR]   (default build/, a native build)
# Needs the .deb installed (sudo apt install ./dist/quarlen_*.deb), pcmanfm,
# xvfb, xdotool, imagemagick and dbus. Not run by the tests.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
[ -x "$build/tests/quarlen_model_writer" ] || { echo "$0: no $build/tests/quarlen_model_writer; build first" >&2; exit 2; }
[ -f /usr/share/thumbnailers/quarlen.thumbnailer ] || { echo "$0: install the .deb first" >&2; exit 2; }

tmp=$(mktemp -d)
xvfb_pid=
fm_pid=
cleanup() {
    # The file manager's session: dbus-run-session, its bus and pcmanfm.
    if [ -n "$fm_pid" ]; then kill -- -"$fm_pid" 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$tmp"
}
trap cleanup EXIT

# A home of its own, whose thumbnail cache starts empty, with PCManFM's
# settings (the thumbnail view; no side pane, no toolbar and so no
# temporary path) and the library, as a Poser runtime folder holds it.
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config XDG_CACHE_HOME=$tmp/home/.cache
models=$HOME/Runtime/Geometries
mkdir -p "$models" "$tmp/odd"
cp "$root/examples/sample.rsr" "$models/house.rsr"
"$build/bench/quarlen_picture_bench" --model "$models/spheres.rsr"
"$build/bench/quarlen_bench" --model "$models/tangle.rsr" 3 300 >/dev/null
"$build/tests/quarlen_model_writer" mixed "$models/mixed.rsr" "$tmp/mixed.expected"
"$build/tests/quarlen_model_writer" odd 1 8 "$tmp/odd"
for seed in 2 4 5 8; do cp "$tmp/odd/odd-$seed.rsr" "$models/odd-$seed.rsr"; done
count=$(ls "$models" | wc -l)

mkdir -p "$XDG_CONFIG_HOME/pcmanfm/default"
cat >"$XDG_CONFIG_HOME/pcmanfm/default/pcmanfm.conf" <<'EOF'
[ui]
win_width=600
win_height=372
view_mode=thumbnail
side_pane_mode=hidden;places
show_statusbar=1
toolbar=hidden;
EOF

# shellcheck source=tools/xvfb.sh
. "$root/tools/xvfb.sh"
start_xvfb 800x600x24

setsid dbus-run-session -- pcmanfm "$models" >"$tmp/pcmanfm.log" 2>&1 &
fm_pid=$!
window=$(xdotool search --sync --onlyvisible --class pcmanfm | head -n 1)

# A thumbnail for every model, then the window once it no longer changes.
thumbnails=$HOME/.cache/thumbnails/normal
for _ in $(seq 300); do
    [ "$(ls "$thumbnails" 2>/dev/null | wc -l)" -ge "$count" ] && break
    sleep 0.2
done
made=$(ls "$thumbnails" 2>/dev/null | wc -l)
[ "$made" -ge "$count" ] || { echo "$0: $made thumbnails of $count; pcmanfm said:" >&2; cat "$tmp/pcmanfm.log" >&2; exit 1; }
prev=
for _ in $(seq 50); do
    sleep 0.3
    now=$(import -window "$window" -depth 8 rgb:- | md5sum)
    [ "$now" = "$prev" ] && break
    prev=$now
done
mkdir -p "$root/docs"
import -window "$window" -colors 128 "PNG8:$root/docs/file-manager.png"
echo "wrote docs/file-manager.png ($(stat -c %s "$root/docs/file-manager.png") bytes)"
