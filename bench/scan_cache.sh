#!/usr/bin/env bash
# Times `zelkon-cli scan --by checksum` over a flat, page-cached folder of 20,000 ROM files
# of 64 KiB: the first scan fills the checksum cache of the home, the second finds every
# file unchanged and reads none. Goal:
#   second scan <= 0.1 x first scan
# Also shows a scan without the cache, and the time `find` takes to stat every file. Each figure is the median of RUNS runs (default 5).
# Needs about 1.5 GiB free below /tmp and as much free memory. Exits 1 when the goal is missed.
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${RUNS:-5}
BIN=build-bench/bin
say() { printf '%s\n' "$*" >&2; }

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZELKON_BUILD_BENCH=ON \
    -DZELKON_BUILD_TESTS=OFF -DZELKON_WERROR=OFF >/dev/null
cmake --build build-bench --target zelkon-cli rename_probe zelcore >&2

work=$(mktemp -d /tmp/zelkon-scan-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
"$BIN/rename_probe" --files 20000 --make-only "$work" >/dev/null
mkdir -p "$work/home/databases"
mv "$work/BENCH.zdb" "$work/home/databases/"
scan() { "$BIN/zelkon-cli" --home "$work/home" "$@" scan --system BENCH --by checksum \
    "$work/roms" >/dev/null; }
scan --no-cache # into the page cache
sync

# median SECONDS... of the timings given
median() { printf '%s\n' "$@" | sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'; }
timed() { # COMMAND...: seconds
    local start
    start=$(date +%s%N)
    "$@"
    awk -v n="$(($(date +%s%N) - start))" 'BEGIN { print n / 1e9 }'
}

# What any rescan must at least do to know each file unchanged: list the folder and stat
# every file, here on one thread.
stat_all() { find "$work/roms" -type f -printf '%s %T@ %i\n' >/dev/null; }

first=() second=() none=() floor=()
for ((i = 0; i < RUNS; i++)); do
    rm -f "$work/home/checksums.sqlite"*
    first+=("$(timed scan)")
    second+=("$(timed scan)")
    none+=("$(timed scan --no-cache)")
    floor+=("$(timed stat_all)")
done
f=$(median "${first[@]}") s=$(median "${second[@]}") n=$(median "${none[@]}")
printf 'find, listing and stat of every file:  %6.3f s\n' "$(median "${floor[@]}")"
printf 'scan of 20,000 files, no cache:        %6.3f s\n' "$n"
printf 'first scan (fills the cache):          %6.3f s\n' "$f"
printf 'second scan (unchanged files):         %6.3f s\n' "$s"
ratio=$(awk -v a="$s" -v b="$f" 'BEGIN { print a / b }')
if awk -v r="$ratio" 'BEGIN { exit !(r <= 0.1) }'; then
    printf '%-38s %6.3f <= 0.1  ok\n' "second / first" "$ratio"
else
    printf '%-38s %6.3f >  0.1  MISSED\n' "second / first" "$ratio"
    exit 1
fi
