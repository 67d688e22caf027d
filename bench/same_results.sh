#!/usr/bin/env bash
# Shows that a change leaves every byte the program writes as it was: the
# result files and chart pictures of the examples and of the real reservoir
# records, under a few locales, from two builds compared byte for byte.
#
#   bench/same_results.sh REV [NEW]
#       builds REV (a git revision of this repository, built from `git archive`
#       in a scratch folder) and compares its outputs with NEW's: a revision
#       built the same way, or, when NEW is left out, build/quelmora.
#   bench/same_results.sh --make PROGRAM DIR
#       writes PROGRAM's outputs into DIR (to keep them).
#   bench/same_results.sh --compare DIR1 DIR2
#       compares two such folders.
#
# Settings: WORK scratch folder [/tmp/quelmora-same], REAL the real records
# [../shared/realdata beside the repository], LOCALES [C.UTF-8 sv_SE.UTF-8
# de_DE.UTF-8].
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
WORK=${WORK:-/tmp/quelmora-same}
REAL=${REAL:-$ROOT/../shared/realdata}
LOCALES=${LOCALES:-"C.UTF-8 sv_SE.UTF-8 de_DE.UTF-8"}

# name curve flood: the cases
cases() {
    echo "examples $ROOT/examples/curve.txt $ROOT/examples/flood.txt"
    if [ -d "$REAL" ]; then
        echo "tankan $REAL/tankan_curve.txt $REAL/tankan_flood.txt"
        echo "powell1983 $REAL/powell_curve_pre2017_live.txt $REAL/powell_1983_flood.txt"
        echo "powell1963 $REAL/powell_curve_pre2017_live.txt $REAL/powell_1963_2026_flood.txt"
    else
        echo "same_results: $REAL not found; the examples only" >&2
    fi
}

# make PROGRAM DIR: every case under every locale: the result file, the chart,
# and what the program said (status and standard error).
make_outputs() {
    local program=$1 dir=$2 name curve flood loc out
    mkdir -p "$dir"
    while read -r name curve flood; do
        for loc in $LOCALES; do
            out="$dir/$name.$loc"
            set +e
            LC_ALL=$loc "$program" --curve "$curve" --flood "$flood" --out "$out.result.txt" \
                --chart "$out.chart.png" >"$out.stdout" 2>"$out.stderr"
            echo "status $?" >>"$out.stderr"
            set -e
        done
    done < <(cases)
}

# build REV: the program of a revision, built once into $WORK/rev-HASH
build_rev() {
    local rev hash src
    hash=$(git -C "$ROOT" rev-parse --verify "$1^{commit}")
    src="$WORK/rev-$hash"
    if [ ! -x "$src/build/quelmora" ]; then
        rm -rf "$src"
        mkdir -p "$src"
        git -C "$ROOT" archive "$hash" | tar -x -C "$src"
        cmake -S "$src" -B "$src/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
        cmake --build "$src/build" -j2 --target quelmora >&2
    fi
    echo "$src/build/quelmora"
}

compare() {
    local a=$1 b=$2 f differ=0 count=0
    for f in "$a"/*; do
        count=$((count + 1))
        if ! cmp -s "$f" "$b/$(basename "$f")"; then
            echo "differs: $(basename "$f")"
            differ=1
        fi
    done
    if [ "$(ls "$a" | wc -l)" != "$(ls "$b" | wc -l)" ]; then
        echo "the folders hold different files"
        differ=1
    fi
    [ $differ = 0 ] && echo "same: all $count files byte for byte ($a, $b)"
    return $differ
}

case "${1:-}" in
--make) make_outputs "$2" "$3" ;;
--compare) compare "$2" "$3" ;;
"" | -h | --help) sed -n '2,18p' "$0" ;;
*)
    old=$(build_rev "$1")
    if [ -n "${2:-}" ]; then new=$(build_rev "$2"); else new=$ROOT/build/quelmora; fi
    rm -rf "$WORK/old" "$WORK/new"
    make_outputs "$old" "$WORK/old"
    make_outputs "$new" "$WORK/new"
    compare "$WORK/old" "$WORK/new"
    ;;
esac
