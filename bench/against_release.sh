#!/bin/bash
# Whole processes against an earlier release, built from this repository's
# history: the benchmark models converted by the release's console program
# and by this tree's, to a file and to /dev/null, on one core (taskset) and
# on two, best of several runs alternating between the programs. Checks
# that both write the same bytes. Prints figures; asserts nothing about time.
#
# usage: bench/against_release.sh BUILD_DIR [RUNS] [REV]
#   BUILD_DIR  a native build of this tree (cli/quarlen, bench/quarlen_bench)
#   RUNS       runs of each conversion (default 5)
#   REV        the release to build (default: the last commit of 1.0.0)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: $0 BUILD_DIR [RUNS] [REV]}" && pwd)
runs=${2:-5}
# 1.0.0 ends where the version became 1.1.0.
rev=${3:-$(git -C "$root" log --format=%H -S'VERSION 1.1.0' -- CMakeLists.txt | tail -n 1)^}
ours=$build/cli/quarlen

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
echo "== building $(git -C "$root" describe --always "$rev") from history"
mkdir "$tmp/src"
git -C "$root" archive "$rev" | tar -x -C "$tmp/src"
cmake -S "$tmp/src" -B "$tmp/src/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$tmp/src/build" --target quarlen -j2 >/dev/null
release=$tmp/src/build/cli/quarlen

ln -s /dev/null "$tmp/null.obj"  # the release takes an output ending in .obj only
now() { date +%s.%N; }

# best SECONDS of running "$@" RUNS times
best() {
    local b=
    for _ in $(seq "$runs"); do
        local t0 t1
        t0=$(now)
        "$@" >/dev/null 2>&1
        t1=$(now)
        b=$(echo "$t0 $t1 ${b:-1e9}" | awk '{d = $2 - $1; print (d < $3 ? d : $3)}')
    done
    echo "$b"
}

for shape in "40 25000" "1 1000000"; do
    read -r groups points <<<"$shape"
    model=$tmp/model.rsr
    "$build/bench/quarlen_bench" --model "$model" "$groups" "$points"
    "$release" "$model" "$tmp/release.obj" >/dev/null 2>&1
    "$ours" "$model" "$tmp/ours.obj" >/dev/null 2>&1
    same=$(cmp -s "$tmp/release.obj" "$tmp/ours.obj" && echo yes || echo NO)
    in_mb=$(stat -c %s "$model" | awk '{print $1 / 1e6}')
    out_mb=$(stat -c %s "$tmp/ours.obj" | awk '{print $1 / 1e6}')
    echo
    echo "model: $groups groups x $points points, $in_mb MB in, $out_mb MB of OBJ; same bytes as the release: $same"
    printf '%-34s %10s %10s %10s %10s\n' "whole process, best of $runs" "/dev/null" "MB/s" "file" "MB/s"
    declare -A t=()
    for who in release ours; do
        prog=$release
        [ "$who" = ours ] && prog=$ours
        t[$who-1-null]=$(best taskset -c 0 "$prog" "$model" "$tmp/null.obj")
        t[$who-1-file]=$(best taskset -c 0 "$prog" "$model" "$tmp/out.obj")
        t[$who-2-null]=$(best "$prog" "$model" "$tmp/null.obj")
        t[$who-2-file]=$(best "$prog" "$model" "$tmp/out.obj")
    done
    row() {
        printf '%-34s %9.3fs %10.1f %9.3fs %10.1f\n' "$1" "${t[$2-null]}" \
            "$(echo "$out_mb ${t[$2-null]}" | awk '{print $1 / $2}')" "${t[$2-file]}" \
            "$(echo "$out_mb ${t[$2-file]}" | awk '{print $1 / $2}')"
    }
    row "release, one core" release-1
    row "this tree, one core" ours-1
    row "release, two cores" release-2
    row "this tree, two cores" ours-2
    for c in 1 2; do
        for d in null file; do
            printf 'this tree vs release, %s core(s), %-9s %6.2fx\n' "$c" "$d" \
                "$(echo "${t[release-$c-$d]} ${t[ours-$c-$d]}" | awk '{print $1 / $2}')"
        done
    done
    unset t
done
