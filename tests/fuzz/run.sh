#!/bin/bash
# Builds the fuzz target with clang-14 (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer), writes the seed corpus with the RSR builder
# and fuzzes for SECONDS (default 180). Prints the executions and the
# coverage reached; fails on any crash, leak, timeout or broken outcome rule,
# leaving the input in build-fuzz/artifacts/.
#
# usage: tests/fuzz/run.sh [SECONDS]
# Environment: FUZZ_CXX (default clang++-14); FUZZ_DIR (default build-fuzz);
# FUZZ_TMPDIR, where each input is written as a file (default /dev/shm when
# writable: a disk-backed /tmp makes every run wait on the file system).
set -euo pipefail

seconds=${1:-180}
root=$(cd "$(dirname "$0")/../.." && pwd)
dir=${FUZZ_DIR:-$root/build-fuzz}
cxx=${FUZZ_CXX:-clang++-14}
# stb_image_write (the PNG encoder) from its own folder, as convert/CMakeLists.txt finds it.
flags=(-std=c++20 -O1 -g -fno-omit-frame-pointer -Wall -Wextra -I"$root" -isystem /usr/include/stb)

tmp=${FUZZ_TMPDIR:-/dev/shm}
[ -d "$tmp" ] && [ -w "$tmp" ] || tmp=${TMPDIR:-/tmp}
mkdir -p "$dir/corpus" "$dir/artifacts"
rm -rf "$dir/seeds"
mkdir -p "$dir/seeds"

# The core's sources as convert/CMakeLists.txt lists them, so that a file
# or a folder added there is built here too.
mapfile -t core < <(sed -n '/^add_library(quarlen_convert STATIC/,/^)/s|^  \(.*\.cpp\)$|'"$root"'/convert/\1|p' \
    "$root/convert/CMakeLists.txt")
[ ${#core[@]} -gt 0 ] || { echo "no sources of quarlen_convert found in convert/CMakeLists.txt" >&2; exit 1; }

echo "== building the fuzz target with $cxx"
"$cxx" "${flags[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -o "$dir/fuzz_convert" "$root"/tests/fuzz/fuzz_convert.cpp "${core[@]}"
"$cxx" "${flags[@]}" -o "$dir/make_seeds" "$root/tests/fuzz/make_seeds.cpp" "$root/tests/model_gen.cpp"
"$dir/make_seeds" "$dir/seeds"

echo "== fuzzing for $seconds s"
status=0
(
    cd "$dir"
    TMPDIR="$tmp" ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ./fuzz_convert -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
        -dict="$root/tests/fuzz/rsr.dict" -artifact_prefix="$dir/artifacts/" -print_final_stats=1 \
        "$dir/corpus" "$dir/seeds"
) >"$dir/fuzz.log" 2>&1 || status=$?

# The last status line and libFuzzer's final counters.
grep -E '^#[0-9]+' "$dir/fuzz.log" | tail -1 || true
grep -E '^Done [0-9]+ runs|^stat::number_of_executed_units|^stat::average_exec_per_sec|^stat::peak_rss_mb' "$dir/fuzz.log" || true
echo "corpus: $(ls "$dir/corpus" | wc -l) inputs in $dir/corpus"

if [ "$status" -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|quarlen fuzz:' "$dir/fuzz.log"; then
    echo "== fuzzing FAILED (status $status); the log is $dir/fuzz.log"
    grep -E 'ERROR|runtime error|quarlen fuzz|SUMMARY|Test unit written' "$dir/fuzz.log" | head -20
    exit 1
fi
echo "== fuzzing passed"
