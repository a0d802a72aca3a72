#!/bin/sh
# Builds the native test suite twice and runs all of it each time:
#   build-asan  AddressSanitizer + UndefinedBehaviorSanitizer, leak check on
#   build-lsan  LeakSanitizer alone, built without threads
#               (-DQUARLEN_THREADS=OFF, as the web page's core is): the
#               threads' leaks are the ASan suite's to find
# Any sanitizer report fails the run, also one from a child process (the
# console program, the memory probe), because every report goes to a log file
# that is checked after ctest.
#
# usage: tests/sanitize.sh [asan|lsan]...   (default: both)
# Environment: CXX picks the compiler (default: the system's c++), JOBS the
# build parallelism (default 2).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${JOBS:-2}
[ $# -gt 0 ] || set -- asan lsan

run_ctest() {
    (
        cd "$1"
        logs=$2
        shift 2
        ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:strict_string_checks=1:check_initialization_order=1:detect_stack_use_after_return=1:log_path=$logs/asan" \
        UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$logs/ubsan" \
        LSAN_OPTIONS="log_path=$logs/lsan" \
        ctest --output-on-failure -j"$jobs" "$@"
    )
}

suite() {
    name=$1
    flags=$2
    more=$3  # more cmake settings
    dir=$root/build-$name
    logs=$dir/sanitizer-reports
    echo "== $name: $flags $more"
    # Optimised, with the contracts' asserts on (no NDEBUG).
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g" \
        -DCMAKE_CXX_FLAGS="$flags -fno-omit-frame-pointer" \
        -DCMAKE_EXE_LINKER_FLAGS="$flags" $more >/dev/null
    cmake --build "$dir" -j"$jobs"
    rm -rf "$logs"
    mkdir -p "$logs"
    status=0
    run_ctest "$dir" "$logs" || status=1
    # A sanitizer runtime that fails in its own thread registry (the
    # standalone LeakSanitizer's races when many threads start and end: an
    # internal CHECK, or a SEGV inside ThreadRegistry) says nothing about our
    # code: when that is all the reports say, the failed tests run again, up
    # to three times, and any other report fails the suite.
    tries=0
    while [ $status -ne 0 ] && [ $tries -lt 3 ] && ls "$logs"/* >/dev/null 2>&1 &&
        ! grep -L -E "Sanitizer: CHECK failed: .*sanitizer_|in __sanitizer::ThreadRegistry::" "$logs"/* | grep -q .; do
        tries=$((tries + 1))
        echo "== $name: the sanitizer runtime failed in its own thread registry; the failed tests again ($tries of 3)"
        cat "$logs"/*
        rm -f "$logs"/*
        status=0
        run_ctest "$dir" "$logs" --rerun-failed || status=1
    done
    for report in "$logs"/*; do
        [ -e "$report" ] || continue
        echo "== sanitizer report $report"
        cat "$report"
        status=1
    done
    if [ $status -ne 0 ]; then
        echo "== $name: FAILED"
        exit 1
    fi
    echo "== $name: passed, no sanitizer reports"
}

for s in "$@"; do
    case $s in
    asan) suite asan "-fsanitize=address,undefined -fno-sanitize-recover=all" "" ;;
    lsan) suite lsan "-fsanitize=leak" "-DQUARLEN_THREADS=OFF" ;;
    *) echo "unknown suite: $s" >&2; exit 2 ;;
    esac
done
