#!/usr/bin/env bash
# Times the desktop program from its start to a painted main window, offscreen, on a home
# with 100 databases of 2,000 entries and on an empty home (goal: at most 0.3 s more).
# Each figure is the median of RUNS runs (default 9), the two homes taken in turn.
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${RUNS:-9}
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZELKON_BUILD_BENCH=ON \
    -DZELKON_BUILD_TESTS=OFF -DZELKON_WERROR=OFF >/dev/null
cmake --build build-bench --target zelkon zelcore startup_home >&2
bin=$PWD/build-bench/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/empty/databases"
"$bin/startup_home" "$work/full" 100 2000
export QT_QPA_PLATFORM=offscreen

# One start: the seconds from starting the process to the picture of the painted window.
one() {
    local start end
    start=$(date +%s.%N)
    "$bin/zelkon" --home "$1" --screenshot "$work/shot.png" "$1" >/dev/null 2>&1
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

one "$work/empty" >/dev/null # warm the caches and write the settings of both homes
one "$work/full" >/dev/null
: >"$work/empty.txt"
: >"$work/full.txt"
for _ in $(seq "$RUNS"); do
    one "$work/empty" >>"$work/empty.txt"
    one "$work/full" >>"$work/full.txt"
done
empty=$(median <"$work/empty.txt")
full=$(median <"$work/full.txt")
printf 'start to painted window, empty home:                   %.3f s\n' "$empty"
printf 'start to painted window, 100 databases x 2,000 entries: %.3f s\n' "$full"
printf 'difference: %.3f s (goal: at most 0.300 s)\n' "$(awk -v a="$empty" -v b="$full" 'BEGIN { print b - a }')"
