#!/bin/sh
# Runs every test: the native suite, the sanitizer suite, bounded fuzzing and
# the Windows program under Wine. FUZZ_SECONDS sets the fuzzing time
# (default 180).
set -eu
cd "$(dirname "$0")/.."
tools/install-deps.sh --all

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
(cd build && ctest -j"$(nproc)" --output-on-failure)
tests/readers/run_all.sh build

# The Windows program, cross-built and driven through its window under Wine.
tests/wine/run.sh build

# The whole native suite under ASan+UBSan and under LSan, then bounded fuzzing.
tests/extra.sh "${FUZZ_SECONDS:-180}"
