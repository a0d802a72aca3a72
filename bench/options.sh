#!/bin/bash
# The output options against the default on the benchmark models, whole
# processes of the console program on the machine's cores: seconds, MB
# written and time per byte written (triangles add lines), best of several
# runs alternating between the conversions. Checks that each option writes
# the same bytes on one thread (taskset) as on all. Prints figures; asserts
# nothing about time.
#
# usage: bench/options.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR [RUNS]}" && pwd)
runs=${2:-5}
quarlen=$build/cli/quarlen
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
now() { date +%s.%N; }

sets=("" "--clean --mtl --triangulate" "--weld" "--lf")
for shape in "40 25000" "1 1000000"; do
    read -r groups points <<<"$shape"
    model=$tmp/model.rsr
    "$build/bench/quarlen_bench" --model "$model" "$groups" "$points"
    declare -A best=() bytes=()
    for _ in $(seq "$runs"); do
        for k in "${!sets[@]}"; do
            # shellcheck disable=SC2086
            t0=$(now); "$quarlen" ${sets[$k]} "$model" "$tmp/out.obj" 2>/dev/null; t1=$(now)
            best[$k]=$(echo "$t0 $t1 ${best[$k]:-1e9}" | awk '{d = $2 - $1; print (d < $3 ? d : $3)}')
            bytes[$k]=$(stat -c %s "$tmp/out.obj")
        done
    done
    echo
    echo "model: $groups groups x $points points, $(stat -c %s "$model" | awk '{print $1 / 1e6}') MB; whole processes, best of $runs"
    printf '%-30s %9s %10s %10s %12s %s\n' "options" "seconds" "MB out" "ns/byte" "x default" "one thread"
    base=$(echo "${best[0]} ${bytes[0]}" | awk '{print $1 / $2}')
    for k in "${!sets[@]}"; do
        # shellcheck disable=SC2086
        mkdir -p "$tmp/one"
        taskset -c 0 "$quarlen" ${sets[$k]} "$model" "$tmp/one/out.obj" 2>/dev/null
        "$quarlen" ${sets[$k]} "$model" "$tmp/out.obj" 2>/dev/null
        same=$(cmp -s "$tmp/one/out.obj" "$tmp/out.obj" && echo "same bytes" || echo "DIFFERENT")
        printf '%-30s %9.3f %10.1f %10.2f %11.2fx %s\n' "${sets[$k]:-(default)}" "${best[$k]}" \
            "$(echo "${bytes[$k]}" | awk '{print $1 / 1e6}')" \
            "$(echo "${best[$k]} ${bytes[$k]}" | awk '{print 1e9 * $1 / $2}')" \
            "$(echo "${best[$k]} ${bytes[$k]} $base" | awk '{print $1 / $2 / $3}')" "$same"
    done
    unset best bytes
done
