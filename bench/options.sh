#!/bin/bash
# The output options against the default on the benchmark models, whole
# processes of the console program on the machine's cores: seconds, MB
# written and time per byte written (triangles add lines). Each run times
# the default and every option in turn, and the figures are medians: of the
# times, and of each run's ratio to the default's time per byte, so that a
# busy moment of a shared machine falls on both sides of a ratio. Checks
# that each option writes the same bytes on one core (taskset) as on all.
# Prints figures; asserts nothing about time.
#
# usage: bench/options.sh BUILD_DIR [RUNS]   (default 9 runs)
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR [RUNS]}" && pwd)
runs=${2:-9}
quarlen=$build/cli/quarlen
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
now() { date +%s.%N; }
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2)}'; }

sets=("" "--clean --mtl --triangulate" "--weld" "--lf")
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for shape in "40 25000" "1 1000000"; do
    read -r groups points <<<"$shape"
    model=$tmp/model.rsr
    "$build/bench/quarlen_bench" --model "$model" "$groups" "$points"
    declare -A times=() ratios=() bytes=()
    for _ in $(seq "$runs"); do
        declare -A t=()
        for k in "${!sets[@]}"; do
            # shellcheck disable=SC2086
            t0=$(now); "$quarlen" ${sets[$k]} "$model" "$tmp/out.obj" 2>/dev/null; t1=$(now)
            t[$k]=$(echo "$t0 $t1" | awk '{print $2 - $1}')
            bytes[$k]=$(stat -c %s "$tmp/out.obj")
            times[$k]+="${t[$k]} "
        done
        for k in "${!sets[@]}"; do
            ratios[$k]+="$(echo "${t[$k]} ${bytes[$k]} ${t[0]} ${bytes[0]}" | awk '{print ($1 / $2) / ($3 / $4)}') "
        done
        unset t
    done
    echo
    echo "model: $groups groups x $points points, $(stat -c %s "$model" | awk '{print $1 / 1e6}') MB; whole processes, medians of $runs runs"
    printf '%-30s %9s %10s %10s %12s %s\n' "options" "seconds" "MB out" "ns/byte" "x default" "one core"
    for k in "${!sets[@]}"; do
        # shellcheck disable=SC2086
        mkdir -p "$tmp/one"
        # shellcheck disable=SC2086
        taskset -c 0 "$quarlen" ${sets[$k]} "$model" "$tmp/one/out.obj" 2>/dev/null
        # shellcheck disable=SC2086
        "$quarlen" ${sets[$k]} "$model" "$tmp/out.obj" 2>/dev/null
        same=$(cmp -s "$tmp/one/out.obj" "$tmp/out.obj" && echo "same bytes" || echo "DIFFERENT")
        s=$(tr ' ' '\n' <<<"${times[$k]}" | grep . | median)
        r=$(tr ' ' '\n' <<<"${ratios[$k]}" | grep . | median)
        printf '%-30s %9.3f %10.1f %10.2f %11.2fx %s\n' "${sets[$k]:-(default)}" "$s" \
            "$(echo "${bytes[$k]}" | awk '{print $1 / 1e6}')" "$(echo "$s ${bytes[$k]}" | awk '{print 1e9 * $1 / $2}')" \
            "$r" "$same"
    done
    unset times ratios bytes
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
