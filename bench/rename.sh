#!/usr/bin/env bash
# Times rename runs over flat folders of 2,000, 20,000 and 100,000 page-cached ROM files of
# 64 KiB (half renamed, three tenths already named, a tenth duplicates, a tenth unknown)
# with the real executor and undo journal, and compares the 20,000-file run with the time
# `rhash --crc32 -r` needs only to hash the same tree. Goals:
#   time per file at 100,000 <= 1.2 x time per file at 20,000   (nothing grows past n log n)
#   whole run at 20,000      <= 0.35 x rhash --crc32 -r
#   peak memory at 100,000   <  200 MiB
# Each rename figure is the median of RUNS runs (default 3), each on a fresh folder.
# With BEFORE=path/to/an/older/rename_probe, the 20,000-file run (whole, and planning alone
# with --plan-only) is timed against that build's, in turns, RUNS times each:
#   whole run at 20,000      <= 1.05 x the older build's
# Needs about 7 GiB free below /tmp and as much free memory. Exits 1 when a goal is missed.
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${RUNS:-3}
BIN=build-bench/bin
say() { printf '%s\n' "$*" >&2; }

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZELKON_BUILD_BENCH=ON \
    -DZELKON_BUILD_TESTS=OFF -DZELKON_WERROR=OFF >/dev/null
cmake --build build-bench --target rename_probe syscall_floor zelcore >&2

# probe N: the median per-file time (us), whole time (s) and the largest peak RSS (MiB).
probe() {
    local n=$1 i
    for ((i = 0; i < RUNS; i++)); do
        "$BIN/rename_probe" --files "$n" | awk '/^time/ { print $2, $6, $10 }'
    done | sort -n | awk '{ t[NR] = $1; u[NR] = $2; if ($3 > m) m = $3 }
        END { k = int((NR + 1) / 2); print u[k], t[k], m }'
}

declare -A per_file whole peak
for n in 2000 20000 100000; do
    say "rename run, $n files ..."
    read -r per_file[$n] whole[$n] peak[$n] < <(probe "$n")
    printf '%7d files: %8.3f s  %6.2f us a file  peak %6.1f MiB\n' \
        "$n" "${whole[$n]}" "${per_file[$n]}" "${peak[$n]}"
done

failed=0
check() { # NAME VALUE LIMIT
    if awk -v v="$2" -v l="$3" 'BEGIN { exit !(v <= l) }'; then
        printf '%-44s %8.3f <= %s  ok\n' "$1" "$2" "$3"
    else
        printf '%-44s %8.3f >  %s  MISSED\n' "$1" "$2" "$3"
        failed=1
    fi
}
check "per file 100,000 / per file 20,000" \
    "$(awk -v a="${per_file[100000]}" -v b="${per_file[20000]}" 'BEGIN { print a / b }')" 1.2
check "peak memory at 100,000 (MiB)" "${peak[100000]}" 200

# The kernel's own work per file (list, open, stat, read, close, rename three in five) at
# both sizes, on one thread: the growth no change of ours can take away.
floor_work=$(mktemp -d /tmp/zelkon-floor-bench.XXXXXX)
for n in 20000 100000; do
    "$BIN/rename_probe" --files "$n" --make-only "$floor_work/$n" >/dev/null
    "$BIN/syscall_floor" "$floor_work/$n/roms" >/dev/null # into the page cache
    printf 'kernel floor: %s\n' "$("$BIN/syscall_floor" "$floor_work/$n/roms")"
    rm -rf "${floor_work:?}/$n"
done
rmdir "$floor_work"

# against PROBE [ARGS]: the median time of RUNS runs at 20,000 files, this build's and the
# older one's taken in turns so that both meet the same load.
against() {
    local i w
    for ((i = 0; i < RUNS; i++)); do
        for w in now before; do
            local probe="$BIN/rename_probe"
            [[ $w == before ]] && probe=$BEFORE
            printf '%s ' "$w"
            "$probe" --files 20000 "$@" | awk '/^time/ { print $2 }'
        done
    done | sort -k2 -n | awk '{ t[$1, ++n[$1]] = $2 }
        END { k = int((n["now"] + 1) / 2); print t["now", k], t["before", k] }'
}
if [[ -n ${BEFORE:-} ]]; then
    for mode in whole plan; do
        say "rename run against $BEFORE ($mode) ..."
        args=()
        [[ $mode == plan ]] && args=(--plan-only)
        read -r now before < <(against "${args[@]}")
        printf '20,000 files, %-5s: %8.3f s, before %8.3f s\n' "$mode" "$now" "$before"
        [[ $mode == whole ]] && check "whole run 20,000 / before" \
            "$(awk -v a="$now" -v b="$before" 'BEGIN { print a / b }')" 1.05
    done
fi

if command -v rhash >/dev/null; then
    work=$(mktemp -d /tmp/zelkon-rename-bench.XXXXXX)
    trap 'rm -rf "$work"' EXIT
    "$BIN/rename_probe" --files 20000 --make-only "$work"
    rhash --crc32 -r "$work/roms" >/dev/null # into the page cache
    times=()
    for ((i = 0; i < 5; i++)); do
        start=$(date +%s%N)
        rhash --crc32 -r "$work/roms" >/dev/null
        times+=($(($(date +%s%N) - start)))
    done
    rh=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { print t[3] / 1e9 }')
    printf 'rhash --crc32 -r over 20,000 files: %.3f s\n' "$rh"
    check "rename 20,000 / rhash 20,000" \
        "$(awk -v a="${whole[20000]}" -v b="$rh" 'BEGIN { print a / b }')" 0.35
else
    say "rhash is missing (package rhash): the comparison is left out"
fi
exit "$failed"
