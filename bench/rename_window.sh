#!/usr/bin/env bash
# Times a rename of 20,000 page-cached ROM files of 64 KiB (the tree of rename_probe: half
# renamed, three tenths already named, a tenth duplicates moved aside, a tenth unknown moved
# aside) through the Rename ROMs window, offscreen, from the click on Start Renaming to the
# end of the run, against the same rename by `zelkon-cli rename` (the whole process).
# Both read every file (no checksum cache) and take the same stored settings.
# Goal: window <= 1.1 x zelkon-cli. Each figure is the median of RUNS runs (default 5), the
# two taken in turn, each on a fresh tree. With SHOT=file.png the window of the last run is
# saved. Needs about 3 GiB free below /tmp. Exits 1 when the goal is missed.
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${RUNS:-5}
FILES=${FILES:-20000}
BUILD=${BUILD:-build-bench}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZELKON_BUILD_BENCH=ON \
    -DZELKON_BUILD_TESTS=OFF -DZELKON_WERROR=OFF >/dev/null
cmake --build "$BUILD" --target rename_window_probe rename_probe zelkon-cli zelcore >&2
bin=$PWD/$BUILD/bin
work=$(mktemp -d /tmp/zelkon-rename-window.XXXXXX)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

# fresh NAME: a new tree in $work/NAME and a home beside it whose settings move duplicates
# and unknown files aside, as rename_probe's own run does.
fresh() {
    local t=$work/$1
    rm -rf "$t" "$t.home"
    "$bin/rename_probe" --files "$FILES" --make-only "$t"
    mkdir -p "$t.home/databases"
    cp "$t/BENCH.zdb" "$t.home/databases/"
    printf '[BENCH]\nMoveDupes=True\nDupeFolder=%s\nMoveUnrecognized=1\nUnrecognizedFolder=%s\nZDBLoaded=1\n' \
        "$t/dupes/" "$t/unknown/" >"$t.home/zelkon.ini"
    find "$t/roms" -type f -exec cat {} + >/dev/null # into the page cache
    sync
}
seconds_since() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { print b - a }'; }
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

: >"$work/window.txt"
: >"$work/cli.txt"
for ((i = 0; i < RUNS; i++)); do
    fresh w
    "$bin/rename_window_probe" --tree "$work/w" --home "$work/w.home" ${SHOT:+--shot "$SHOT"} \
        2>"$work/window.err" |
        awk '/^time/ { print $2 }' >>"$work/window.txt"
    fresh c
    start=$(date +%s.%N)
    "$bin/zelkon-cli" --home "$work/c.home" --no-cache rename --system BENCH "$work/c/roms" \
        >/dev/null 2>"$work/cli.err" || { cat "$work/cli.err" >&2; exit 1; }
    seconds_since "$start" >>"$work/cli.txt"
    # Both runs must have done the same work.
    for d in roms dupes unknown; do
        [[ $(ls "$work/w/$d" | wc -l) == $(ls "$work/c/$d" | wc -l) ]] ||
            { echo "the runs differ in $d" >&2; exit 1; }
    done
done
window=$(median <"$work/window.txt")
cli=$(median <"$work/cli.txt")
printf 'rename of %d files, window (Start to end):  %.3f s\n' "$FILES" "$window"
printf 'rename of %d files, zelkon-cli (process):   %.3f s\n' "$FILES" "$cli"
ratio=$(awk -v a="$window" -v b="$cli" 'BEGIN { print a / b }')
if awk -v r="$ratio" 'BEGIN { exit !(r <= 1.1) }'; then
    printf 'window / zelkon-cli: %.3f <= 1.1  ok\n' "$ratio"
else
    printf 'window / zelkon-cli: %.3f >  1.1  MISSED\n' "$ratio"
    exit 1
fi
