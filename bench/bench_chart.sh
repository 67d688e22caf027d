#!/usr/bin/env bash
# Times the chart's full repaint against matplotlib drawing the same curve at
# the same size, in one run on the same generated file, and prints both.
#
# Settings (environment variables, defaults in brackets):
#   BENCH_CHART  the benchmark program           [build/bench/bench_chart, built when missing]
#   PEERS        the peer scripts and generator  [../shared/bench beside the repository]
#   WORK         scratch folder                  [/tmp/quelmora-bench-chart]
#   POINTS       points of the curve             [100000]
#   RUNS         repaints timed by each side     [200 ours, 50 matplotlib]
#   DEEP_RUNS    repaints of each deeply zoomed view [20]
#   PY           Python with matplotlib          [/usr/bin/python3]
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
PEERS=${PEERS:-$ROOT/../shared/bench}
WORK=${WORK:-/tmp/quelmora-bench-chart}
POINTS=${POINTS:-100000}
RUNS=${RUNS:-200}
PEER_RUNS=${PEER_RUNS:-50}
DEEP_RUNS=${DEEP_RUNS:-20}
PY=${PY:-/usr/bin/python3}

if ! "$PY" -c 'import matplotlib' 2>/dev/null; then
    echo "Installing: python3-matplotlib" >&2
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends python3-matplotlib >&2
fi
for f in gen.py peer_plot.py; do
    [ -f "$PEERS/$f" ] || { echo "bench: $PEERS/$f not found (set PEERS)" >&2; exit 1; }
done

if [ -z "${BENCH_CHART:-}" ]; then
    BENCH_CHART=$ROOT/build/bench/bench_chart
    if [ ! -x "$BENCH_CHART" ]; then
        (cd "$ROOT" && cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2 && cmake --build build -j2 --target bench_chart >&2)
    fi
fi
[ -x "$BENCH_CHART" ] || { echo "bench: $BENCH_CHART is not a program" >&2; exit 1; }

dir="$WORK/p$POINTS"
[ -f "$dir/curve.txt" ] || "$PY" "$PEERS/gen.py" "$dir" "$POINTS" 10 >&2

ours=$(QT_QPA_PLATFORM=offscreen "$BENCH_CHART" "$dir/curve.txt" "$RUNS" "$dir/ours.png")
peer=$(MPLBACKEND=Agg "$PY" "$PEERS/peer_plot.py" "$dir/curve.txt" "$dir/peer.png" --time "$PEER_RUNS")
deep=$(QT_QPA_PLATFORM=offscreen "$BENCH_CHART" --deep-zoom "$ROOT/examples/curve.txt" "$DEEP_RUNS")

echo "# chart benchmark  $(date -u '+%Y-%m-%d %H:%M UTC')  $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores"
echo "quelmora:   $ours" | sed '2,$s/^/            /'
echo "matplotlib: $peer"
echo "deep zoom (repaint medians):"
printf '%s\n' "$deep" | sed 's/^/  /'
full=$(printf '%s\n' "$ours" | awk '/^full repaint median/ {print $4}')
zoom=$(printf '%s\n' "$ours" | awk '/^zoomed repaint median/ {print $4}')
mpl=$(printf '%s\n' "$peer" | awk '/^draw median/ {print $3}')
awk -v f="$full" -v z="$zoom" -v m="$mpl" 'BEGIN {
    if (f > 0 && m > 0) printf "full repaint: %.1fx faster than matplotlib draw()\n", m / f
    if (z > 0 && m > 0) printf "zoomed repaint: %.1fx faster than matplotlib draw()\n", m / z }'
echo "pictures: $dir/ours.png $dir/peer.png"

# The hydrograph chart with a 1,000,000-record flood (three series, dates),
# also drawn point by point: the reference its pixels must equal, and what
# the column runs save.
HYDRO=${BENCH_HYDROGRAPH:-$(dirname "$BENCH_CHART")/bench_hydrograph}
if [ -x "$HYDRO" ]; then
    hydro=$(QT_QPA_PLATFORM=offscreen "$HYDRO" 1000000 "${HYDRO_RUNS:-50}")
    printf '%s\n' "$hydro"
    # The peer beside it: matplotlib drawing one line of 1,000,000 points
    # (less than our three series of that length, so the ratio is modest).
    big="$WORK/p1000000"
    [ -f "$big/curve.txt" ] || "$PY" "$PEERS/gen.py" "$big" 1000000 10 >&2
    bigpeer=$(MPLBACKEND=Agg "$PY" "$PEERS/peer_plot.py" "$big/curve.txt" "$big/peer.png" --time "${HYDRO_PEER_RUNS:-10}")
    echo "matplotlib, one 1,000,000-point line: $bigpeer"
    hf=$(printf '%s\n' "$hydro" | awk '/^hydrograph full repaint median/ {print $5}')
    hm=$(printf '%s\n' "$bigpeer" | awk '/^draw median/ {print $3}')
    awk -v f="$hf" -v m="$hm" 'BEGIN {
        if (f > 0 && m > 0) printf "hydrograph full repaint (3 x 1,000,000 points): %.1fx faster than matplotlib draw() of one 1,000,000-point line\n", m / f }'
fi
