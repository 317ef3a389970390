#!/usr/bin/env bash
# Times the end of a run after Stop during a copy of a 1 GiB file across file systems, in
# both directions: from FROM (default /tmp) to /dev/shm, and back. Each figure is the time
# from the press of Stop to the return of the batch, over RUNS runs (default 9) that press
# Stop at a tenth, half and nine tenths of the copy in turn. Stop is polled between chunks
# of 1 MiB; most of the time is the kernel freeing the part file's pages when it is removed,
# so it grows with what was copied. Goal: every run ends within 500 ms of Stop and leaves
# neither a part file nor a target. Needs 1 GiB free in FROM and in /dev/shm. Exits 1 when a
# goal is missed or both folders lie on one file system.
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${RUNS:-9}
MIB=${MIB:-1024}
FROM=${FROM:-/tmp}
BUILD=${BUILD:-build-bench}
LIMIT_MS=${LIMIT_MS:-500}

extra=()
[[ -f "$BUILD/CMakeCache.txt" ]] || extra=(-DCMAKE_BUILD_TYPE=Release -DZELKON_BUILD_TESTS=OFF)
cmake -S . -B "$BUILD" -G Ninja -DZELKON_BUILD_BENCH=ON "${extra[@]}" >/dev/null
cmake --build "$BUILD" --target stop_copy_probe >&2

if [[ $(stat -c %d "$FROM") == $(stat -c %d /dev/shm) ]]; then
    echo "$FROM and /dev/shm are one file system: a copy would not go by chunks" >&2
    exit 1
fi

failed=0
for dirs in "$FROM /dev/shm" "/dev/shm $FROM"; do
    read -r from to <<<"$dirs"
    out=$("$BUILD/bin/stop_copy_probe" --from "$from" --to "$to" --mib "$MIB" --runs "$RUNS") ||
        failed=1
    printf '%s\n' "$out"
    worst=$(awk '/^stop to end/ { print $8 }' <<<"$out")
    if ! awk -v w="$worst" -v l="$LIMIT_MS" 'BEGIN { exit !(w <= l) }'; then
        echo "MISSED: worst $worst ms > $LIMIT_MS ms ($from -> $to)" >&2
        failed=1
    fi
done
exit $failed
