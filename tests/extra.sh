#!/bin/sh
# The checks beyond the plain ctest run: the whole test suite built without
# threads, under ASan+UBSan and under LSan (tests/sanitize.sh), then bounded
# fuzzing (tests/fuzz/run.sh). Fails on the first failure.
#
# usage: tests/extra.sh [FUZZ_SECONDS]   (default 180)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
seconds=${1:-180}

echo "== no threads: the suite built with -DQUARLEN_THREADS=OFF"
cmake -S "$root" -B "$root/build-nothreads" -DQUARLEN_THREADS=OFF >/dev/null
cmake --build "$root/build-nothreads" -j"${JOBS:-2}"
(cd "$root/build-nothreads" && ctest --output-on-failure -j"${JOBS:-2}")

"$here/sanitize.sh" asan lsan
"$here/fuzz/run.sh" "$seconds"
