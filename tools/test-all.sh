#!/bin/sh
# Runs every test: the native suite, the Python reader and the Blender
# add-on, the web page (under Node, in headless Chromium and Firefox ESR,
# and in WebKit on an Xvfb display), the release artefacts, the Windows
# program under Wine, the sanitizer suite and bounded fuzzing. FUZZ_SECONDS
# sets the fuzzing time (default 180).
set -eu
cd "$(dirname "$0")/.."
# Each step's start, in seconds since this one's: where the time goes.
started=$(date +%s)
step() { echo "== test-all: $1, $(($(date +%s) - started)) s in"; }

step "packages"
tools/install-deps.sh --all

step "the native build and suite"
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
(cd build && ctest -j"$(nproc)" --output-on-failure)
step "real readers"
tests/readers/run_all.sh build
# The Python reader against the native build, and the Blender add-on.
step "the Python reader and the Blender add-on"
tests/python/run.sh build

# The web page: its WebAssembly core and the page against the console program.
step "the web page"
tests/web/run.sh build

# The release artefacts, built from scratch into dist/ and checked; the Debian
# package is installed and removed again.
step "the release artefacts"
tools/release.sh
tests/release/check.sh dist

# The Windows program, cross-built and driven through its window under Wine,
# then the programs in the zip.
step "Wine"
version=$(build/cli/quarlen --version | cut -d' ' -f2)
tests/wine/run.sh build "dist/quarlen-$version-win32.zip"

# The whole native suite under ASan+UBSan, and built without threads under
# LSan, then bounded fuzzing.
step "sanitizers (LSan on the suite without threads) and fuzzing"
tests/extra.sh "${FUZZ_SECONDS:-180}"
step "all passed"
