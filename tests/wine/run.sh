#!/bin/bash
# The Wine suite: cross-builds quarlen.exe and its test driver into build-win/,
# makes the input files and, with the Linux program, the outputs they must
# give, then runs the driver under Wine on a private X display and Wine prefix.
# Given the Windows zip that tools/release.sh makes, it also checks the
# programs in it.
#
# usage: tests/wine/run.sh BUILD_LINUX_DIR [WINDOWS_ZIP]
#   BUILD_LINUX_DIR: a native build holding cli/quarlen
# Needs g++-mingw-w64-i686, wine, wine32:i386, xvfb, cmake, unzip, a native g++.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 BUILD_LINUX_DIR [WINDOWS_ZIP]" >&2
    exit 2
fi
zip=
if [ $# -eq 2 ]; then
    zip=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
    [ -f "$zip" ] || { echo "$0: no zip at $2" >&2; exit 2; }
fi
root=$(cd "$(dirname "$0")/../.." && pwd)
linux_quarlen=$(cd "$1" && pwd)/cli/quarlen
if [ ! -x "$linux_quarlen" ]; then
    echo "$0: no Linux program at $linux_quarlen; build it first" >&2
    exit 2
fi

echo "== cross-building quarlen.exe and the driver"
toolchain=$root/cmake/mingw-i686.cmake
cmake -S "$root" -B "$root/build-win" -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
cmake --build "$root/build-win" -j"$(nproc)"
cmake --build "$root/build-win" -j"$(nproc)" --target quarlen_short_paths
cmake -S "$root/tests/wine" -B "$root/build-win/wine-driver" -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
cmake --build "$root/build-win/wine-driver" -j"$(nproc)"

tmp=$(mktemp -d)
xvfb_pid=
cleanup() {
    if [ -d "$tmp/prefix" ]; then WINEPREFIX=$tmp/prefix wineserver -k 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$tmp"
}
trap cleanup EXIT

echo "== making the test files"
${CXX:-c++} -std=c++20 -O1 -I"$root" -o "$tmp/make_inputs" "$root/tests/wine/make_inputs.cpp"
{ read -r longdir; read -r unicode_in; read -r deep_in; } < <("$tmp/make_inputs" "$tmp/data")
[ -n "$deep_in" ] || { echo "$0: make_inputs failed" >&2; exit 1; }
version=$("$linux_quarlen" --version)
version=${version#quarlen }
for name in good range junk eof badvalue negcount; do
    # Most of these fail on purpose; what counts is the output they leave.
    "$linux_quarlen" "$tmp/data/$name.rsr" "$tmp/data/expected/$name.obj" 2>/dev/null || true
    [ -f "$tmp/data/expected/$name.obj" ] || { echo "$0: the Linux program wrote no $name.obj" >&2; exit 1; }
done
# Files and folders for quarlen.exe's command line, and the Linux program's
# outputs for them.
mkdir -p "$tmp/data/batch/sub"
cp "$tmp/data/good.rsr" "$tmp/data/batch/a.rsr"
cp "$tmp/data/good.rsr" "$tmp/data/batch/sub/b.rsr"
cp "$tmp/data/eof.rsr" "$tmp/data/batch/sub/bad.rsr"
cp "$tmp/data/good.rsr" "$tmp/data/batch/skip.rsr"
printf keep >"$tmp/data/batch/skip.obj"
cp -r "$tmp/data/batch" "$tmp/data/batch-expected"
"$linux_quarlen" -q -r "$tmp/data/batch-expected" 2>/dev/null || true

echo "== starting Xvfb and a fresh Wine prefix"
# Windows are only created when there is a display; Xvfb picks a free one.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$tmp/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || { cat "$tmp/xvfb.log" >&2; exit 1; }
    sleep 0.1
done
[ -s "$tmp/display" ] || { echo "$0: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(cat "$tmp/display")
export WINEPREFIX=$tmp/prefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installers
export LANG=C.UTF-8  # so that UTF-8 arguments reach the driver intact
wineboot -i </dev/null >"$tmp/wine.log" 2>&1
wineserver -w
# There is no window manager: let Wine place and frame the windows itself,
# instead of waiting two seconds for a manager at every window that closes.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >>"$tmp/wine.log" 2>&1
wineserver -w

winpath() { printf 'Z:%s' "${1//\//\\}"; }

echo "== running the driver"
driver=$root/build-win/wine-driver/quarlen_wine_driver.exe
status=0
wine "$driver" \
    "$(winpath "$root/build-win/shell/quarlen.exe")" "$(winpath "$root/build-win/shell/quarlen_short_paths.exe")" \
    "$(winpath "$tmp/data")" "$(winpath "$longdir")" "$(winpath "$unicode_in")" "$(winpath "$deep_in")" \
    "$version" </dev/null 2>>"$tmp/wine.log" || status=$?

if [ -n "$zip" ]; then
    echo "== the programs in $(basename "$zip")"
    unzip -q "$zip" -d "$tmp/zip"
    exe=$(find "$tmp/zip" -name quarlen.exe)
    wine "$driver" --package "$(winpath "$exe")" "$version" </dev/null 2>>"$tmp/wine.log" || status=1
    cli=$(find "$tmp/zip" -name quarlen-cli.exe)
    if [ -n "$cli" ]; then
        said=$(wine "$cli" --version </dev/null 2>>"$tmp/wine.log" | tr -d '\r') || true
        if [ "$said" = "quarlen $version" ]; then
            echo "ok   quarlen-cli.exe --version says \"quarlen $version\""
        else
            echo "FAIL quarlen-cli.exe --version: \"$said\", want \"quarlen $version\""
            status=1
        fi
    fi
fi
if [ "$status" -ne 0 ]; then
    echo "-- Wine's messages:" >&2
    grep -v 'Read access denied for device' "$tmp/wine.log" >&2 || true
fi

echo "== quarlen-cli.exe"
linux_build=$(cd "$1" && pwd)
# shellcheck source=tests/wine/cli_checks.sh
. "$root/tests/wine/cli_checks.sh"
[ "$cli_failed" -eq 0 ] || status=1
exit "$status"
