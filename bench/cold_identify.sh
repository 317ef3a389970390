#!/usr/bin/env bash
# Times `zelkon-cli identify -r` over 20,000 files of 64 KiB, side by side in one run:
#   a) cold (each run first drops the files from the page cache):
#        default options  vs  -j 1                      (goal: default >= 3 x as fast)
#        default options  vs  rhash --crc32 -r          (when rhash is installed)
#   b) page-cached: default options  vs  the default of OLD_REV   (goal: no slower, <= 1.05)
#   c) with the checksum cache: a second run of the unchanged tree  vs  the first,
#      cold and page-cached, this build and OLD_REV's.
# a) and b) run without the checksum cache. Each figure is the median of RUNS runs
# (default 3). OLD_REV (default: the last commit before the reads ahead) is exported and
# built once into build-cold-old/. Needs about 1.5 GiB free below /tmp and as much free memory.
# Exits 1 when a goal is missed.
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${RUNS:-3}
BUILD=${BUILD:-build-bench}
OLD_REV=${OLD_REV:-ea1b8ca}
OLD=build-cold-old
say() { printf '%s\n' "$*" >&2; }

configure() { # SOURCE BUILD
    cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZELKON_BUILD_BENCH=ON \
        -DZELKON_BUILD_TESTS=OFF -DZELKON_BUILD_GUI=OFF -DZELKON_WERROR=OFF >/dev/null
}
configure . "$BUILD"
cmake --build "$BUILD" --target zelkon-cli zelcore rename_probe evict_files >&2
if [[ ! -x $OLD/build/bin/zelkon-cli ]]; then
    rm -rf "$OLD" && mkdir -p "$OLD/src"
    git archive "$OLD_REV" | tar -x -C "$OLD/src"
    configure "$OLD/src" "$OLD/build"
    cmake --build "$OLD/build" --target zelkon-cli zelcore >&2
fi
NEW_CLI=$BUILD/bin/zelkon-cli OLD_CLI=$OLD/build/bin/zelkon-cli

work=$(mktemp -d /tmp/zelkon-cold-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
"$BUILD/bin/rename_probe" --files 20000 --make-only "$work" >/dev/null
mkdir -p "$work/home/databases"
mv "$work/BENCH.zdb" "$work/home/databases/"
sync # written pages stay in memory until they are on the disk
evict() { "$BUILD/bin/evict_files" "$work/roms"; }

# Global options go before the command: OLD_REV takes them only there.
identify() { # CLI [GLOBAL OPTION] -- [OPTION...]
    local cli=$1 global=()
    shift
    while [[ $1 != -- ]]; do global+=("$1") && shift; done
    shift
    "$cli" --home "$work/home" "${global[@]}" identify --system BENCH "$@" -r "$work/roms" \
        >/dev/null
}
rhash_all() { rhash --crc32 -r "$work/roms" >/dev/null; }
have_rhash=$(command -v rhash >/dev/null && echo 1 || echo 0)
((have_rhash)) || say "rhash is not installed: its figure is left out (apt-get install rhash)."

median() { printf '%s\n' "$@" | sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'; }
timed() { # COMMAND...: seconds
    local start
    start=$(date +%s%N)
    "$@"
    awk -v n="$(($(date +%s%N) - start))" 'BEGIN { print n / 1e9 }'
}
cold() { evict && timed "$@"; }
# seconds of a first and a second run with a new checksum cache: FIRST-PREP CLI
twice() {
    local prep=$1 cli=$2
    rm -f "$work/home/checksums.sqlite"*
    $prep >/dev/null
    printf '%s ' "$(timed identify "$cli" --)"
    $prep >/dev/null
    printf '%s\n' "$(timed identify "$cli" --)"
}
nothing() { :; }

identify "$NEW_CLI" --no-cache -- # the program and the database into memory
declare -a c_new c_j1 c_rhash w_new w_old s_cold s_warm o_cold o_warm
for ((i = 0; i < RUNS; i++)); do
    c_new+=("$(cold identify "$NEW_CLI" --no-cache --)")
    c_j1+=("$(cold identify "$NEW_CLI" --no-cache -- -j 1)")
    ((have_rhash)) && c_rhash+=("$(cold rhash_all)")
    identify "$NEW_CLI" --no-cache -- # back into memory
    w_new+=("$(timed identify "$NEW_CLI" --no-cache --)")
    w_old+=("$(timed identify "$OLD_CLI" --no-cache --)")
    read -r a b <<<"$(twice evict "$NEW_CLI")" && s_cold+=("$a $b")
    read -r a b <<<"$(twice nothing "$NEW_CLI")" && s_warm+=("$a $b")
    read -r a b <<<"$(twice evict "$OLD_CLI")" && o_cold+=("$a $b")
    read -r a b <<<"$(twice nothing "$OLD_CLI")" && o_warm+=("$a $b")
done

missed=0
line() { printf '%-52s %7.3f s\n' "$1" "$2"; }
ratio() { # TEXT A B [GOAL-OP GOAL]: prints A / B and checks it against the goal
    local r
    r=$(awk -v a="$2" -v b="$3" 'BEGIN { print a / b }')
    if [[ $# -lt 5 ]]; then
        printf '%-52s %7.2f\n' "$1" "$r"
    elif awk -v r="$r" -v g="$5" -v op="$4" 'BEGIN { exit !(op == ">=" ? r >= g : r <= g) }'; then
        printf '%-52s %7.2f %s %s  ok\n' "$1" "$r" "$4" "$5"
    else
        printf '%-52s %7.2f %s %s  MISSED\n' "$1" "$r" "$4" "$5"
        missed=1
    fi
}
col() { printf '%s\n' "${@:2}" | awk -v c="$1" '{ print $c }'; } # COLUMN PAIRS...

cn=$(median "${c_new[@]}") cj=$(median "${c_j1[@]}")
echo "a) cold, 20,000 files of 64 KiB, no checksum cache"
line "  identify -r, default" "$cn"
line "  identify -r, -j 1" "$cj"
ratio "  -j 1 / default" "$cj" "$cn" ">=" 3
if ((have_rhash)); then
    cr=$(median "${c_rhash[@]}")
    line "  rhash --crc32 -r" "$cr"
    ratio "  rhash / default" "$cr" "$cn"
fi
wn=$(median "${w_new[@]}") wo=$(median "${w_old[@]}")
echo "b) page-cached, no checksum cache"
line "  identify -r, default" "$wn"
line "  identify -r, default of $OLD_REV" "$wo"
ratio "  default / default of $OLD_REV" "$wn" "$wo" "<=" 1.05
echo "c) with the checksum cache: second run / first run"
for set in "cold s_cold" "page-cached s_warm" "cold, $OLD_REV o_cold" "page-cached, $OLD_REV o_warm"; do
    name=${set% *} var="${set##* }[@]"
    first=$(median $(col 1 "${!var}")) second=$(median $(col 2 "${!var}"))
    printf '  %-30s first %6.3f s, second %6.3f s\n' "$name" "$first" "$second"
    ratio "    second / first" "$second" "$first"
done
exit "$missed"
