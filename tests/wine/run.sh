#!/bin/bash
# The Wine suite: cross-builds quarlen.exe and its test driver, makes the
# input files and, with the Linux program, the outputs they must give, then
# runs the driver under Wine on a private X display and Wine prefix. Given
# the Windows zip that tools/release.sh makes, it also checks the programs
# in it.
#
# Where this machine can execute 32-bit programs, all of it runs on the
# 32-bit build that ships (build-win/). Where it cannot, Wine cannot run a
# 32-bit Windows program either (its 32-bit loader is a 32-bit Linux
# program): the suite then runs on a 64-bit build of the same tree
# (build-win64/) under wine64, checks the zip's 32-bit programs without
# running them, and lists what it could not run. The last line says which
# build ran and why. QUARLEN_WINE_BUILD=32 or 64 forces a build.
#
# usage: tests/wine/run.sh BUILD_LINUX_DIR [WINDOWS_ZIP]
#   BUILD_LINUX_DIR: a native build holding cli/quarlen
# Needs what tools/install-deps.sh --all installs: MinGW-w64 (i686 or
# x86-64), wine with wine32:i386 or wine64, xvfb, cmake, unzip, file,
# icoutils, a native g++.
set -euo pipefail
# A step that ends the suite says which.
trap 'echo "$0: line $LINENO ended the suite (status $?)" >&2' ERR

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
linux_build=$(cd "$1" && pwd)
linux_quarlen=$linux_build/cli/quarlen
if [ ! -x "$linux_quarlen" ]; then
    echo "$0: no Linux program at $linux_quarlen; build it first" >&2
    exit 2
fi

# Running Wine's 32-bit loader, itself a 32-bit Linux program, tells whether
# this machine can run the 32-bit build; when it fails, running the system's
# 32-bit dynamic loader tells whether the machine or the loader is at fault.
loader32=/usr/lib/wine/wine
bits=64
if said=$("$loader32" --version 2>&1); then
    machine="this machine can execute 32-bit programs"
    bits=32
elif [ ! -e "$loader32" ]; then
    machine="Wine's 32-bit loader is not installed"
elif /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    machine="Wine's 32-bit loader does not start"
else
    machine="this machine cannot execute 32-bit programs"
fi
said=${said##*$'\n'}
echo "== probe: $loader32 --version: ${said##*"$loader32: "}"
why=$machine
not32="a 32-bit program: $machine"  # why a 32-bit program is not run
case ${QUARLEN_WINE_BUILD:-} in
    "") ;;
    32 | 64)
        bits=$QUARLEN_WINE_BUILD why="forced by QUARLEN_WINE_BUILD=$bits; $machine"
        not32="a 32-bit program, and QUARLEN_WINE_BUILD=64 forces the 64-bit build"
        ;;
    *) echo "$0: QUARLEN_WINE_BUILD is 32, 64 or unset, not \"$QUARLEN_WINE_BUILD\"" >&2; exit 2 ;;
esac
if [ "$bits" = 32 ]; then
    build=$root/build-win toolchain=$root/cmake/mingw-i686.cmake wine=wine
    export WINEARCH=win32
else
    build=$root/build-win64 toolchain=$root/cmake/mingw-x86_64.cmake wine=/usr/lib/wine/wine64
    export WINEARCH=win64 WINELOADER=$wine
fi
echo "== the suite runs on the $bits-bit build ($why)"

echo "== cross-building quarlen.exe and the driver into $(basename "$build")"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
cmake --build "$build" -j"$(nproc)"
cmake --build "$build" -j"$(nproc)" --target quarlen_short_paths
cmake -S "$root/tests/wine" -B "$build/wine-driver" -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
cmake --build "$build/wine-driver" -j"$(nproc)"
driver=$build/wine-driver/quarlen_wine_driver.exe

tmp=$(mktemp -d)
xvfb_pid=
cleanup() {
    if [ -d "$tmp/prefix" ]; then WINEPREFIX=$tmp/prefix wineserver -k 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$tmp"
}
trap cleanup EXIT

# Every check of the suite ends up in these counts; one that cannot run is
# named with its reason.
passed=0
failed=0
not_run=
check() {  # check STATUS WHAT [DETAIL]: STATUS 0 passes
    if [ "$1" = 0 ]; then
        passed=$((passed + 1))
        echo "ok   $2"
    else
        failed=$((failed + 1))
        echo "FAIL $2${3:+: $3}"
    fi
}
skip() {  # skip WHAT WHY
    echo "not run: $1 ($2)"
    not_run+="not run: $1 ($2)"$'\n'
}
# The driver under Wine, its output kept to add its counts to the suite's.
run_driver() {
    local status=0 counts
    "$wine" "$driver" "$@" </dev/null 2>>"$tmp/wine.log" | tee "$tmp/driver.out" || status=$?
    counts=$(tr -d '\r' <"$tmp/driver.out" | sed -n 's/^driver: \([0-9]*\) passed, \([0-9]*\) failed$/\1 \2/p')
    if [ -z "$counts" ]; then
        check 1 "the driver runs to its end" "exit status $status"
        return
    fi
    passed=$((passed + ${counts% *}))
    failed=$((failed + ${counts#* }))
    [ "$status" = 0 ] || [ "${counts#* }" != 0 ] || check 1 "the driver's exit status" "$status"
}

echo "== making the test files"
${CXX:-c++} -std=c++20 -O1 -I"$root" -o "$tmp/make_inputs" "$root/tests/wine/make_inputs.cpp"
{ read -r longdir; read -r unicode_in; read -r deep_in; } < <("$tmp/make_inputs" "$tmp/data")
[ -n "$deep_in" ] || { echo "$0: make_inputs failed" >&2; exit 1; }
version=$("$linux_quarlen" --version)
version=${version#quarlen }
for name in good square range junk eof badvalue negcount; do
    # Most of these fail on purpose; what counts is the output they leave.
    "$linux_quarlen" "$tmp/data/$name.rsr" "$tmp/data/expected/$name.obj" 2>/dev/null || true
    [ -f "$tmp/data/expected/$name.obj" ] || { echo "$0: the Linux program wrote no $name.obj" >&2; exit 1; }
done
"$linux_quarlen" "$tmp/data/good.rsr" "$tmp/data/expected/good.glb" 2>/dev/null
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
# shellcheck source=tools/xvfb.sh
. "$root/tools/xvfb.sh"
start_xvfb 1280x1024x24
export WINEPREFIX=$tmp/prefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installers
export LANG=C.UTF-8  # so that UTF-8 arguments reach the driver intact
# There is no window manager: let Wine place and frame the windows itself,
# instead of waiting two seconds for a manager at every window that closes.
make_prefix() {
    "$wine" wineboot -i </dev/null >"$tmp/wine.log" 2>&1 && wineserver -w &&
        "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >>"$tmp/wine.log" 2>&1 &&
        wineserver -w
}
# Making the prefix once ended a CI run with no word; it is the machine's
# setup, not a check, so it is told, with Wine's log, and tried afresh.
if ! make_prefix; then
    echo "tests/wine: the Wine prefix could not be made; Wine's log, then once more afresh:" >&2
    tail -n 20 "$tmp/wine.log" >&2
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    make_prefix || { tail -n 20 "$tmp/wine.log" >&2; echo "tests/wine: the Wine prefix could not be made" >&2; exit 1; }
fi

winpath() { printf 'Z:%s' "${1//\//\\}"; }

echo "== running the driver"
run_driver \
    "$(winpath "$build/shell/quarlen.exe")" "$(winpath "$build/shell/quarlen_short_paths.exe")" \
    "$(winpath "$tmp/data")" "$(winpath "$longdir")" "$(winpath "$unicode_in")" "$(winpath "$deep_in")" \
    "$version"

if [ -z "$zip" ]; then
    skip "the programs of the Windows zip" "no zip given"
else
    unzip -q "$zip" -d "$tmp/zip"
    exe=$(find "$tmp/zip" -name quarlen.exe)
    cli=$(find "$tmp/zip" -name quarlen-cli.exe)
    [ -n "$cli" ] || skip "the checks of quarlen-cli.exe from the zip" "the zip holds none"
    if [ "$bits" = 32 ]; then
        echo "== the programs in $(basename "$zip")"
        run_driver --package "$(winpath "$exe")" "$version"
        if [ -n "$cli" ]; then
            said=$("$wine" "$cli" --version </dev/null 2>>"$tmp/wine.log" | tr -d '\r') || true
            [ "$said" = "quarlen $version" ] && s=0 || s=1
            check "$s" "quarlen-cli.exe --version says \"quarlen $version\"" "\"$said\""
        fi
    else
        echo "== the 32-bit programs in $(basename "$zip"), without running them"
        # Its resources, read as data by the 64-bit driver.
        run_driver --resources "$(winpath "$exe")" "$version"
        # shellcheck source=tests/release/windows_programs.sh
        . "$root/tests/release/windows_programs.sh"
        for program in "$exe:GUI" ${cli:+"$cli:console"}; do
            path=${program%:*} kind=${program##*:} name=$(basename "${program%:*}")
            format=$(file -b "$path")
            [[ $format == "PE32 executable ($kind) Intel 80386"* ]] && s=0 || s=1
            check "$s" "$name: a 32-bit $kind program for Intel 80386" "$format"
            imports=$(foreign_imports "$path")
            check "$([ -z "$imports" ]; echo $?)" "$name imports only Windows' own DLLs" "$imports"
        done
        if [ -n "$cli" ]; then
            # The resource texts are UTF-16: without their zero bytes, each
            # name runs into its value.
            manifest=$(wrestool -x --raw -t 24 "$cli" | tr -d ' \t\r\n')
            [[ $manifest == *'<activeCodePagexmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">UTF-8</activeCodePage>'* ]] &&
                s=0 || s=1
            check "$s" "quarlen-cli.exe: its manifest sets the active code page UTF-8"
            strings=$(wrestool -x --raw -t 16 "$cli" | tr -d '\0')
            [[ $strings == *"FileVersion$version"* && $strings == *"OriginalFilenamequarlen-cli.exe"* ]] &&
                s=0 || s=1
            check "$s" "quarlen-cli.exe: its version resource names version $version and quarlen-cli.exe"
        fi
        for what in "the packaged quarlen.exe starts and shows its main window" \
            "its main window: class, title and styles" "its main window is maximized at (-4,-4)" \
            "its help text is drawn in the message font" "WM_CLOSE ends it with status 0"; do
            skip "$what" "$not32; done above on the 64-bit build"
        done
        [ -z "$cli" ] || skip "quarlen-cli.exe --version says \"quarlen $version\"" "$not32"
    fi
fi

echo "== quarlen-cli.exe"
# shellcheck source=tests/wine/cli_checks.sh
. "$root/tests/wine/cli_checks.sh"

if [ "$failed" -ne 0 ]; then
    echo "-- Wine's messages:" >&2
    grep -v 'Read access denied for device' "$tmp/wine.log" >&2 || true
fi
echo "== the Wine suite"
printf '%s' "$not_run"
if [ -n "$not_run" ]; then count=$(printf '%s' "$not_run" | wc -l); else count=0; fi
echo "Wine suite: $passed passed, $failed failed, $count not run, on the $bits-bit build ($why)"
[ "$failed" -eq 0 ]
