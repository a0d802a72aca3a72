#!/bin/sh
# Checks what tools/release.sh put into DIST_DIR (default dist/):
# - the Debian package holds the console program, its manual page, the
#   licence, the .rsr MIME type and the thumbnailer, depends on exactly the
#   packages of the libraries the program loads, installs with dpkg, and its
#   quarlen tells the project version and converts the bundled sample as the
#   source tree says it should; shared-mime-info's trigger registers the
#   type, xdg-mime finds it for x.rsr and X.RSR, and the thumbnailer's Exec
#   line, run as a file manager runs it with a path and with a file:// URI,
#   writes a whole PNG of the size asked for; removed, the type goes too;
# - the Windows zip holds quarlen.exe (and quarlen-cli.exe when built), a
#   README.txt and LICENSE.txt with CR LF line ends and the text of README.md
#   and LICENSE, and its programs are 32-bit and import only Windows' own DLLs;
# - the web zip holds the page's files at its top (tests/web/run.sh checks
#   the page they make);
# - the Blender add-on's zip holds one folder, the add-on's package, with
#   the reader inside and the project's version in bl_info and
#   blender_manifest.toml, an extension's too (tests/blender/check_addon.py
#   installs it in Blender); the wheel installs offline and reads the sample.
# tests/wine/run.sh BUILD dist/quarlen-VERSION-win32.zip starts its quarlen.exe.
# The package is removed again at the end. Run as root, or with sudo at hand.
#
# usage: tests/release/check.sh [DIST_DIR]
set -eu
export LC_ALL=C  # one sort order and plain messages
root=$(cd "$(dirname "$0")/../.." && pwd)
dist=$(cd "${1:-$root/dist}" && pwd)
if [ "$(id -u)" -eq 0 ]; then sudo=; else sudo=sudo; fi

version=$(sed -n 's/^project(quarlen VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
deb=$dist/quarlen_${version}_amd64.deb
zip=$dist/quarlen-${version}-win32.zip
web=$dist/quarlen-${version}-web.zip
addon=$dist/quarlen-blender-${version}.zip
wheel=$dist/quarlen_rsr-${version}-py3-none-any.whl
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

status=0
ok() { echo "ok   $1"; }
fail() { echo "FAIL $1${2:+: $2}"; status=1; }
same() {  # same WHAT GOT WANT
    if [ "$2" = "$3" ]; then ok "$1"; else fail "$1" "got [$2], want [$3]"; fi
}

# The five artefacts and nothing else.
same "dist/ holds the five artefacts of version $version" \
    "$(ls "$dist" | tr '\n' ' ')" \
    "quarlen-$version-web.zip quarlen-$version-win32.zip quarlen-blender-$version.zip \
quarlen_${version}_amd64.deb quarlen_rsr-$version-py3-none-any.whl "

echo "== $(basename "$deb")"
same "package contents" \
    "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort | tr '\n' ' ')" \
    "./usr/bin/quarlen ./usr/share/doc/quarlen/copyright ./usr/share/man/man1/quarlen.1.gz \
./usr/share/mime/packages/quarlen.xml ./usr/share/thumbnailers/quarlen.thumbnailer "
same "package name, version and architecture" \
    "$(dpkg-deb -f "$deb" Package Version Architecture | tr '\n' ' ')" \
    "Package: quarlen Version: $version Architecture: amd64 "

# The packages owning the shared libraries the program names, as found here.
dpkg-deb -x "$deb" "$tmp/deb"
owners=
for lib in $(objdump -p "$tmp/deb/usr/bin/quarlen" | awk '$1 == "NEEDED" {print $2}'); do
    path=$(ldconfig -p | awk -v lib="$lib" '$1 == lib && /x86-64/ {print $NF; exit}')
    owner=$(dpkg -S "$path" 2>/dev/null || dpkg -S "/usr$path" 2>/dev/null || echo "?$lib")
    owners="$owners ${owner%%:*}"
done
same "Depends names exactly the packages of the libraries it loads" \
    "$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/(.*//; s/:.*//; s/ //g' | sort -u | tr '\n' ' ')" \
    "$(echo $owners | tr ' ' '\n' | sort -u | tr '\n' ' ')"

if $sudo dpkg -i "$deb" >"$tmp/dpkg.log" 2>&1; then
    ok "dpkg installs it"
    same "quarlen --version in the PATH" "$(quarlen --version)" "quarlen $version"
    same "the program is /usr/bin/quarlen" "$(command -v quarlen)" "/usr/bin/quarlen"
    quarlen "$root/examples/sample.rsr" "$tmp/sample.obj" 2>/dev/null || true
    if cmp -s "$tmp/sample.obj" "$root/examples/sample.obj"; then
        ok "the installed quarlen converts examples/sample.rsr to examples/sample.obj"
    else
        fail "the installed quarlen converts examples/sample.rsr to examples/sample.obj"
    fi
    warnings=$(zcat /usr/share/man/man1/quarlen.1.gz | groff -man -ww -z 2>&1)
    same "the installed manual page renders without a warning" "$warnings" ""

    # File managers: the type by name in any letter case, through
    # shared-mime-info's database as dpkg's trigger left it, and the
    # thumbnailer as a file manager runs it, on a path with a space.
    rsr_type=model/x-poser-rsr
    if grep -q "^$rsr_type:" /usr/share/mime/globs 2>/dev/null; then
        ok "shared-mime-info's trigger registered $rsr_type"
    else
        fail "shared-mime-info's trigger registered $rsr_type"
        $sudo update-mime-database /usr/share/mime
    fi
    mkdir "$tmp/models dir"
    for name in x.rsr X.RSR; do
        cp "$root/examples/sample.rsr" "$tmp/models dir/$name"
        same "xdg-mime query filetype $name" "$(XDG_CURRENT_DESKTOP='' xdg-mime query filetype "$tmp/models dir/$name")" \
            "$rsr_type"
    done
    thumbnail() {  # thumbnail NAME [--uri]: the thumbnailer run on x.rsr, 128 pixels, into a file named for NAME
        _out=$tmp/gnome-desktop-thumbnailer-$1.png
        shift
        /usr/bin/python3 "$root/tests/release/run_thumbnailer.py" "$@" /usr/share/thumbnailers/quarlen.thumbnailer \
            "$rsr_type" "$tmp/models dir/x.rsr" 128 "$_out" 2>&1
    }
    same "the thumbnailer's Exec line, given a path, writes a 128 x 128 PNG" "$(thumbnail path)" "128 x 128"
    same "the thumbnailer's Exec line, given a file:// URI, writes a 128 x 128 PNG" "$(thumbnail uri --uri)" "128 x 128"
    if cmp -s "$tmp/gnome-desktop-thumbnailer-path.png" "$tmp/gnome-desktop-thumbnailer-uri.png"; then
        ok "the URI's picture is the path's"
    else
        fail "the URI's picture is the path's"
    fi

    $sudo dpkg -r quarlen >>"$tmp/dpkg.log" 2>&1 || fail "dpkg -r quarlen"
    [ ! -e /usr/bin/quarlen ] || fail "dpkg -r removes /usr/bin/quarlen"
    if grep -q "^$rsr_type:" /usr/share/mime/globs; then fail "dpkg -r removes $rsr_type"; fi
else
    fail "dpkg installs it" "$(cat "$tmp/dpkg.log")"
fi

echo "== $(basename "$zip")"
top=quarlen-$version-win32
files=$(unzip -Z1 "$zip" | grep -v '/$' | sort | tr '\n' ' ')
case $files in
    *"$top/quarlen-cli.exe "*) cli="$top/quarlen-cli.exe " ;;
    *) cli= ;;
esac
same "zip contents" "$files" "$top/LICENSE.txt $top/README.txt $cli$top/quarlen.exe "

unzip -q "$zip" -d "$tmp/zip"
for pair in README.txt:README.md LICENSE.txt:LICENSE; do
    txt=$tmp/zip/$top/${pair%%:*}
    source=$root/${pair#*:}
    lines=$(wc -l <"$txt")
    crlf=$(grep -c "$(printf '\r')\$" "$txt" || true)
    what="${pair%%:*}: the text of ${pair#*:}, every line ending in CR LF"
    if ! tr -d '\r' <"$txt" | cmp -s - "$source"; then
        fail "$what" "the text differs"
    elif [ "$lines" -eq 0 ] || [ "$lines" != "$crlf" ]; then
        fail "$what" "$crlf of $lines lines end in CR LF"
    else
        ok "$what"
    fi
done

# shellcheck source=tests/release/windows_programs.sh
. "$root/tests/release/windows_programs.sh"
for exe in "$tmp/zip/$top"/*.exe; do
    name=$(basename "$exe")
    same "$name is a 32-bit Windows program" \
        "$(i686-w64-mingw32-objdump -f "$exe" | sed -n 's/.*file format //p')" "pei-i386"
    same "$name imports only Windows' own DLLs" "$(foreign_imports "$exe")" ""
done

echo "== $(basename "$web")"
same "web zip contents" "$(unzip -Z1 "$web" | sort | tr '\n' ' ')" \
    "icon-192.png icon-512.png index.html main.js manifest.webmanifest quarlen-core-simd.wasm quarlen-core.js \
quarlen-core.wasm style.css sw.js view-worker.js worker.js "

echo "== $(basename "$addon")"
pkg=quarlen_rsr_import
same "add-on zip: one folder, the package with the reader inside" \
    "$(unzip -Z1 "$addon" | sort | tr '\n' ' ')" \
    "$pkg/LICENSE $pkg/__init__.py $pkg/blender_manifest.toml $pkg/import_operator.py \
$(cd "$root/python" && ls quarlen_rsr/*.py | sed "s|^|$pkg/|" | tr '\n' ' ')"
same "add-on zip: an extension's layout and manifest" "$(/usr/bin/python3 "$root/tests/blender/check_manifest.py" \
    "$addon" "$version")" ""
same "add-on version in bl_info and the manifest" \
    "$(unzip -p "$addon" "$pkg/__init__.py" | sed -n 's/.*"version": (\(.*\)),/\1/p') $(unzip -p "$addon" \
        "$pkg/blender_manifest.toml" | sed -n 's/^version = "\(.*\)"/\1/p')" \
    "$(echo "$version" | sed 's/\./, /g') $version"
unzip -q "$addon" -d "$tmp/addon"
same "the add-on's reader is python/quarlen_rsr" "$(diff -r "$root/python/quarlen_rsr" "$tmp/addon/$pkg/quarlen_rsr" \
    -x __pycache__)" ""

echo "== $(basename "$wheel")"
same "wheel: the reader, as quarlen-rsr of the project version, needing numpy" "$(unzip -Z1 "$wheel" | grep -v \
    dist-info/ | sort | tr '\n' ' ')$(unzip -p "$wheel" "*/METADATA" | sed -n 's/^\(Name\|Version\|Requires-Dist\): //p')" \
    "$(cd "$root/python" && ls quarlen_rsr/*.py | tr '\n' ' ')quarlen-rsr
$version
numpy"
# In a venv that sees Debian's numpy and meshio, as the source tree reads.
/usr/bin/python3 -m venv --system-site-packages "$tmp/venv"
"$tmp/venv/bin/pip" install -q --no-index --no-cache-dir "$wheel" >"$tmp/pip.log" 2>&1 || fail "pip" "$(cat "$tmp/pip.log")"
script='import sys, meshio, quarlen_rsr, quarlen_rsr.meshio
groups, mesh = quarlen_rsr.read(sys.argv[1]), meshio.read(sys.argv[1])
print(quarlen_rsr.__file__.startswith(sys.prefix), [(g.name, g.facet_count) for g in groups], mesh, mesh.points.sum())'
same "pip installs the wheel offline; it reads the sample, and meshio through it" \
    "$(cd "$tmp" && "$tmp/venv/bin/python" -c "$script" "$root/examples/sample.rsr" 2>&1)" \
    "True $(PYTHONPATH=$root/python /usr/bin/python3 -c "$script" "$root/examples/sample.rsr" 2>&1 | sed '1s/^False //')"

exit "$status"
