#!/bin/sh
# GLB against OBJ with --clean --mtl --triangulate: MB of input per second
# and peak memory of the console program, best of RUNS runs (default 3), on
# the benchmark's models: 40 groups of 25,000 points and one group of
# 1,000,000, on one core (taskset -c 0) and on two. Prints figures; asserts
# nothing.
#   bench/glb_vs_obj.sh [BUILD_DIR]
set -eu
build=${1:-build}
runs=${RUNS:-3}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
printf '%-14s %5s %-34s %8s %9s %9s %9s\n' model cores conversion "MB in" seconds "MB/s in" "peak MB"
for shape in "40 25000" "1 1000000"; do
    # shellcheck disable=SC2086
    "$build/bench/quarlen_bench" --model "$tmp/m.rsr" $shape
    mb=$(stat -c %s "$tmp/m.rsr" | awk '{ printf "%.1f", $1 / 1e6 }')
    for cores in 1 2; do
        on=""
        [ "$cores" = 1 ] && on="taskset -c 0"
        for form in "obj --clean --mtl --triangulate" "glb --glb"; do
            ext=${form%% *}
            options=${form#* }
            best=999999 peak=0
            i=0
            while [ "$i" -lt "$runs" ]; do
                # shellcheck disable=SC2086
                /usr/bin/time -f '%e %M' -o "$tmp/time" $on "$build/cli/quarlen" $options "$tmp/m.rsr" "$tmp/m.$ext" \
                    2>/dev/null
                read -r s kb < "$tmp/time"
                best=$(echo "$best $s" | awk '{ print ($2 < $1) ? $2 : $1 }')
                peak=$(echo "$peak $kb" | awk '{ print ($2 > $1) ? $2 : $1 }')
                i=$((i + 1))
            done
            printf '%-14s %5s %-34s %8s %9s %9.1f %9.1f\n' "$(echo "$shape" | tr ' ' x)" "$cores" "$options" "$mb" \
                "$best" "$(echo "$mb $best" | awk '{ print ($2 > 0) ? $1 / $2 : 0 }')" \
                "$(echo "$peak" | awk '{ print $1 / 1024 }')"
        done
    done
done
