#!/usr/bin/env bash
# Shows that a change to the chart leaves every picture as it was: the batch
# mode's chart of the example curve and of each real curve (under C and
# de_DE), its hydrograph of the example flood and of each real flood (date
# labels along the bottom, under C, de_DE and zh_CN), and the views
# bench_chart --pictures draws (zoomed, scrolled, deeply zoomed, inverted,
# markers, a dotted line, a 100,000-point curve), from two builds compared
# byte for byte.
#
#   tests/chart/same_pictures.sh REV
#       builds REV's quelmora and bench_chart (from `git archive` in a scratch
#       folder) and compares their pictures with those of build/ (built here
#       when missing).
#
# Settings: WORK scratch folder [/tmp/quelmora-pictures], REAL the real
# records [../shared/realdata beside the repository].
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
WORK=${WORK:-/tmp/quelmora-pictures}
REAL=${REAL:-$ROOT/../shared/realdata}
[ $# -eq 1 ] || { sed -n '2,15p' "$0" >&2; exit 2; }

# build SOURCE_DIR: quelmora and bench_chart of that tree, in SOURCE_DIR/build.
build() {
    [ -f "$1/build/CMakeCache.txt" ] ||
        cmake -S "$1" -B "$1/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$1/build" -j2 --target quelmora bench_chart >&2
}

# pictures SOURCE_DIR OUT: every picture of that tree's build.
pictures() {
    local src=$1 out=$2 curve loc
    rm -rf "$out"
    mkdir -p "$out"
    for curve in "$ROOT/examples/curve.txt" "$REAL"/*curve*.txt; do
        [ -f "$curve" ] || continue
        for loc in C de_DE.UTF-8; do
            LC_ALL=$loc "$src/build/quelmora" --curve "$curve" --chart "$out/batch-$(basename "$curve" .txt)-$loc.png"
        done
    done
    # A flood that does not compute draws no hydrograph in either build.
    while read -r name curve flood; do
        [ -f "$curve" ] && [ -f "$flood" ] || continue
        for loc in C de_DE.UTF-8 zh_CN.UTF-8; do
            LC_ALL=$loc "$src/build/quelmora" --curve "$curve" --flood "$flood" \
                --hydrograph "$out/hydrograph-$name-$loc.png" >/dev/null 2>&1 || true
        done
    done <<EOF
examples $ROOT/examples/curve.txt $ROOT/examples/flood.txt
tankan $REAL/tankan_curve.txt $REAL/tankan_flood.txt
powell1983 $REAL/powell_curve_pre2017_live.txt $REAL/powell_1983_flood.txt
powell1963 $REAL/powell_curve_pre2017_live.txt $REAL/powell_1963_2026_flood.txt
EOF
    QT_QPA_PLATFORM=offscreen "$src/build/bench/bench_chart" --pictures "$ROOT/examples/curve.txt" "$out" 2>/dev/null
}

hash=$(git -C "$ROOT" rev-parse --verify "$1^{commit}")
old="$WORK/rev-$hash"
if [ ! -x "$old/build/bench/bench_chart" ]; then
    rm -rf "$old"
    mkdir -p "$old"
    git -C "$ROOT" archive "$hash" | tar -x -C "$old"
fi
build "$old"
build "$ROOT"
pictures "$old" "$WORK/old"
pictures "$ROOT" "$WORK/new"

status=0
count=0
for f in "$WORK/old"/*.png; do
    count=$((count + 1))
    if ! cmp -s "$f" "$WORK/new/$(basename "$f")"; then
        echo "differs: $(basename "$f")"
        status=1
    fi
done
if [ "$(ls "$WORK/old" | wc -l)" != "$(ls "$WORK/new" | wc -l)" ]; then
    echo "the two builds drew different sets of pictures"
    status=1
fi
[ $status -eq 0 ] && echo "all $count pictures byte-identical to ${1}'s"
exit $status
