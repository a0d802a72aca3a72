#!/bin/sh
# tests/web/run.sh BUILD: builds the web page (tools/build-web.sh) and checks
# it against the console program of the native build BUILD: the WebAssembly
# core under Node, the zip writer against Python's zipfile, then the page in
# headless Chromium and Firefox ESR, and in WebKit on an Xvfb display, and
# the page given hostile archives. Needs what tools/install-deps.sh --all
# installs.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
"$here/../../tools/build-web.sh" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$here/make_models.sh" "$build" "$work"
echo "== web: the WebAssembly core under Node ($(node --version))"
node "$here/check_node.mjs" "$build/cli/quarlen" "$here/../../web/dist" "$work"
echo "== web: zip.js against Python's zipfile"
node "$here/check_zip.mjs" "$work"
echo "== web: the page in headless Chromium ($(chromium --version 2>/dev/null || echo chromium)), $(firefox-esr --version 2>/dev/null || echo Firefox ESR)" \
    "and WebKit (MiniBrowser of WebKitGTK $(pkg-config --modversion webkit2gtk-4.1 2>/dev/null || dpkg-query -W -f '${Version}' libwebkit2gtk-4.1-0 2>/dev/null))"
node "$here/check_browser.mjs" "$build/cli/quarlen" "$work"
echo "== web: the page given hostile and unusual archives"
node "$here/check_archives.mjs" "$build/cli/quarlen" "$work"
