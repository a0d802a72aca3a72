#!/bin/bash
# Takes docs/main-window.png: quarlen.exe on an 800x600 Xvfb screen under
# Wine, once it has converted examples/sample.rsr and shows its picture.
#
# usage: tools/screenshot.sh [QUARLEN_EXE]   (default build-win/shell/quarlen.exe)
# Needs wine (wine32:i386 for the 32-bit build), xvfb, xdotool and
# imagemagick. A 64-bit build (build-win64/, where this machine cannot run
# 32-bit programs) runs in a 64-bit prefix.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
exe=${1:-$root/build-win/shell/quarlen.exe}
[ -f "$exe" ] || { echo "$0: no $exe; build the Windows program first" >&2; exit 2; }

tmp=$(mktemp -d)
xvfb_pid=
quarlen_pid=
cleanup() {
    if [ -n "$quarlen_pid" ]; then kill "$quarlen_pid" 2>/dev/null || true; fi
    if [ -d "$tmp/prefix" ]; then WINEPREFIX=$tmp/prefix wineserver -k 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$tmp"
}
trap cleanup EXIT

# shellcheck source=tools/xvfb.sh
. "$root/tools/xvfb.sh"
start_xvfb 800x600x24
case $(file -b "$exe") in
    PE32+*) export WINEARCH=win64 ;;
    *) export WINEARCH=win32 ;;
esac
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot -i </dev/null >"$tmp/wine.log" 2>&1
wineserver -w
# No window manager runs: Wine draws the window frames itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >>"$tmp/wine.log" 2>&1
wineserver -w

wine "$exe" </dev/null >>"$tmp/wine.log" 2>&1 &
quarlen_pid=$!
xdotool search --sync --onlyvisible --name '^quarlen$' >/dev/null
# The translate command from the menu bar; each dialog takes a typed name
# once it has the keyboard focus; Return dismisses the "Finished" notice.
typeInto() {  # typeInto TITLE TEXT
    for _ in $(seq 100); do
        [ "$(xdotool getwindowfocus getwindowname 2>/dev/null)" = "$1" ] && break
        sleep 0.1
    done
    [ -z "$2" ] || xdotool type --delay 20 "$2"
    xdotool key Return
}
winpath() { printf 'Z:%s' "${1//\//\\}"; }
cp "$root/examples/sample.rsr" "$tmp/sample.rsr"
xdotool mousemove 100 28 click 1
typeInto "file to read from?" "$(winpath "$tmp/sample.rsr")"
typeInto "file to write mesh to?" "$(winpath "$tmp/sample.obj")"
typeInto "$(winpath "$tmp/sample.obj")" ""
# The window repaints once the notice is gone; wait until the pixel rows
# change no more between two looks.
prev=
for _ in $(seq 50); do
    sleep 0.2
    now=$(import -window root -depth 8 rgb:- | md5sum)
    [ "$now" = "$prev" ] && break
    prev=$now
done
mkdir -p "$root/docs"
import -window root "$root/docs/main-window.png"
echo "wrote docs/main-window.png"
