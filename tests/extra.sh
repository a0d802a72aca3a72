#!/bin/sh
# The checks beyond the plain ctest run: the whole test suite under
# ASan+UBSan, and built without threads under LSan (tests/sanitize.sh), then
# bounded fuzzing (tests/fuzz/run.sh). Fails on the first failure.
#
# usage: tests/extra.sh [FUZZ_SECONDS]   (default 180)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
seconds=${1:-180}

"$here/sanitize.sh" asan lsan
"$here/fuzz/run.sh" "$seconds"
