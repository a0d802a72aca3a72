#!/bin/sh
# Builds the web page into web/dist/, a folder of static files that any
# static web server can serve (tools/serve-web.sh serves it here):
#   quarlen-core.wasm, quarlen-core.js  the core (web/CMakeLists.txt),
#                                       compiled by Debian's Emscripten
#   quarlen-core-simd.wasm              the same with WebAssembly's 128-bit
#                                       lanes, for browsers that have them
#   main.js, worker.js, view-worker.js  the page, its converter and its
#                                       view's reader, bundled by esbuild
#                                       with three.js and fflate
#   index.html, style.css, sw.js        the page, its look, its offline store
#   manifest.webmanifest, icon-192.png, the page as an installable app, its
#   icon-512.png                        icon made from res/icon.txt
# The npm packages come from web/package-lock.json (npm ci). Needs em++,
# npm and python3 (tools/install-deps.sh --all installs them).
set -eu
cd "$(dirname "$0")/.."
for tool in em++ npm python3; do
    command -v "$tool" >/dev/null || { echo "build-web: $tool is missing: run tools/install-deps.sh --all" >&2; exit 1; }
done

# npm ci again only when the lock file is newer than the last install.
installed=web/node_modules/.package-lock.json
if [ ! -f "$installed" ] || [ -n "$(find web/package-lock.json -newer "$installed")" ]; then
    (cd web && npm ci --no-audit --no-fund)
fi

out=web/dist
rm -rf "$out"
mkdir -p "$out"

# Debian's em++ runs its optimiser on node, which finds Debian's acorn only
# on NODE_PATH when the machine's node is not Debian's own. The module is
# the core built without threads (web/CMakeLists.txt): the page converts
# one file at a time in a worker.
# The picture's raster draws 4 samples at a time where the compiler has
# SSE2; Emscripten gives it WebAssembly's 128-bit lanes (every browser of
# 2023 on), and the page loads that core where the browser validates them
# (worker.js). Both cores share one glue.
echo "build-web: the core ($(em++ --version | sed -n 1p))"
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
for lanes in plain simd; do
    flags=-Werror
    [ "$lanes" = simd ] && flags="-Werror -msimd128 -msse2"
    emcmake cmake -S . -B "build-web/$lanes" -DCMAKE_BUILD_TYPE=Release -DQUARLEN_THREADS=OFF \
        -DCMAKE_CXX_FLAGS="$flags" >/dev/null
    cmake --build "build-web/$lanes" --target quarlen_core_web -j"$(nproc)"
done
cmp build-web/plain/web/quarlen-core.js build-web/simd/web/quarlen-core.js
cp build-web/plain/web/quarlen-core.js build-web/plain/web/quarlen-core.wasm "$out/"
cp build-web/simd/web/quarlen-core.wasm "$out/quarlen-core-simd.wasm"

echo "build-web: the page"
esbuild=web/node_modules/.bin/esbuild
"$esbuild" web/src/main.js --bundle --format=esm --minify --log-level=warning --outfile="$out/main.js"
for worker in worker view-worker; do
    "$esbuild" "web/src/$worker.js" --bundle --format=iife --minify --log-level=warning --outfile="$out/$worker.js"
done
cp web/src/index.html web/src/style.css web/src/sw.js web/src/manifest.webmanifest "$out/"
for size in 192 512; do
    python3 tools/make_icon.py res/icon.txt "$out/icon-$size.png" "$size"
done
ls -l "$out"
