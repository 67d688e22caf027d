#!/usr/bin/env bash
# Times --smooth-tolerance through the program on Lake Powell's 22,661 days
# and on a generated record of 1,000,000 hours, and prints for each the wall
# time, the number of five-diagonal solves and the time per solve and record
# (flat when the work grows linearly with the record). The plain run of the
# same record is timed beside it: the difference is the smoother's.
#
#   bench/bench_held.sh [QUELMORA]      (REAL: the real records, WORK: scratch)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
Q=${1:-$ROOT/build/quelmora}
REAL=${REAL:-$ROOT/../shared/realdata}
WORK=${WORK:-/tmp/quelmora-held}
mkdir -p "$WORK"

# A reservoir of 120-170 m on a 2,000-point curve whose level follows a
# seasonal cycle read to 1 cm, hourly, with a steady release.
python3 - "$WORK" <<'PY'
import math, sys, datetime
work = sys.argv[1]
with open(work + "/curve.txt", "w") as f:
    f.write("level,storage\n")
    for i in range(2000):
        z = 120 + 0.025 * i
        f.write("%.4f,%.4f\n" % (z, 14 + 0.35 * (z - 120) + 0.004 * (z - 120) ** 2))
t = datetime.datetime(1900, 1, 1)
with open(work + "/flood.txt", "w") as f:
    f.write("time,level,outflow\n")
    for k in range(1000000):
        z = 145 + 10 * math.sin(k / 4380.0) + 0.3 * math.sin(k / 97.0)
        f.write("%s,%.2f,%.1f\n" % ((t + datetime.timedelta(hours=k)).strftime("%Y-%m-%d %H-%M-%S"), z, 800.0))
PY

row() {
    local name=$1 curve=$2 flood=$3 tol=$4 records plain held solves
    records=$(($(wc -l <"$flood") - 1))
    /usr/bin/time -f %e -o "$WORK/plain.t" "$Q" --curve "$curve" --flood "$flood" --out "$WORK/r.txt" \
        --summary "$WORK/s.csv"
    /usr/bin/time -f %e -o "$WORK/held.t" "$Q" --curve "$curve" --flood "$flood" --out "$WORK/r.txt" \
        --summary "$WORK/s.csv" --smooth-tolerance "$tol" 2>"$WORK/held.err"
    plain=$(tail -1 "$WORK/plain.t")
    held=$(tail -1 "$WORK/held.t")
    solves=$(awk -F, '$1 == "smooth_solves" {print $2}' "$WORK/s.csv")
    awk -v n="$name" -v r="$records" -v p="$plain" -v h="$held" -v s="$solves" -v t="$tol" 'BEGIN {
        printf "%-22s %9d records  tol %5s mm  plain %6.2f s  held %6.2f s  %3d solves  %6.1f ns per solve and record\n",
            n, r, t, p, h, s, (h - p) * 1e9 / (s * r) }'
}
row powell "$REAL/powell_curve_pre2017_live.txt" "$REAL/powell_1963_2026_flood.txt" 10
row generated-hourly "$WORK/curve.txt" "$WORK/flood.txt" 10
