#!/usr/bin/env bash
# How batch mode's time grows with the record: the 10,000,000-record file
# against the 1,000,000-record one (the files bench_batch.sh generates), run
# in alternating pairs so that both sizes meet the same load. On a shared
# machine the load drifts over minutes; runs grouped by size (as in
# bench_batch.sh) then compare a quiet minute with a busy one, and the ratio
# swings by more than its distance from 10x.
#
# Settings (environment variables, defaults in brackets):
#   QUELMORA  the program                     [build/quelmora]
#   PEERS     the generator                   [../shared/bench beside the repository]
#   WORK      scratch folder                  [/tmp/quelmora-bench]
#   PAIRS     pairs of runs                   [5]
#   PY        Python for the generator        [/usr/bin/python3]
#
# The output of the run before is removed untimed: replacing it would add the
# file system's freeing of 800 MB to the larger size's runs only.
#
# Prints, for wall and processor time (user + system): the median over the
# pairs of each pair's ratio, and the ratio of the two sizes' fastest runs
# (the runs the machine disturbed least); and the peak memory ratio.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
QUELMORA=${QUELMORA:-$ROOT/build/quelmora}
PEERS=${PEERS:-$ROOT/../shared/bench}
WORK=${WORK:-/tmp/quelmora-bench}
PAIRS=${PAIRS:-5}
PY=${PY:-/usr/bin/python3}
TIME=/usr/bin/time
[ -x "$QUELMORA" ] || { echo "bench: $QUELMORA is not built" >&2; exit 1; }

small="$WORK/c10000_f1000000"; big="$WORK/c10000_f10000000"
for d in "$small" "$big"; do
    n=${d##*_f}
    [ -f "$d/flood.txt" ] || { mkdir -p "$d"; "$PY" "$PEERS/gen.py" "$d" 10000 "$n" >&2; }
done

rows="$WORK/growth_rows.tsv"
: > "$rows"
run() {   # run SIZE DIR: one timed run, a row "SIZE WALL CPU RSS_KB"
    local tf="$WORK/growth_time"
    rm -f "$2/out_growth.txt"
    "$TIME" -f '%e %U %S %M' -o "$tf" "$QUELMORA" --curve "$2/curve.txt" --flood "$2/flood.txt" \
        --out "$2/out_growth.txt" >/dev/null
    awk -v n="$1" '{printf "%s\t%s\t%.3f\t%s\n", n, $1, $2 + $3, $4}' "$tf" >> "$rows"
    rm -f "$2/out_growth.txt"
}
for p in $(seq 1 "$PAIRS"); do
    run 1000000 "$small"
    run 10000000 "$big"
done

echo "# growth benchmark  $(date -u '+%Y-%m-%d %H:%M UTC')  $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
awk -F'\t' '
    $1 == 1000000 { sw[++ns] = $2; sc[ns] = $3; sm[ns] = $4 }
    $1 == 10000000 { bw[++nb] = $2; bc[nb] = $3; bm[nb] = $4 }
    function median(a, n,   i, j, t) { for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
                                       return (n % 2) ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2 }
    function least(a, n,   i, m) { m = a[1]; for (i = 2; i <= n; i++) if (a[i] < m) m = a[i]; return m }
    END {
        for (i = 1; i <= ns; i++) { rw[i] = bw[i] / sw[i]; rc[i] = bc[i] / sc[i]; rm[i] = bm[i] / sm[i] }
        printf "pairs: %d; 1,000,000 records: fastest %.2f s wall, %.2f s processor; 10,000,000: %.2f s, %.2f s\n",
               ns, least(sw, ns), least(sc, ns), least(bw, nb), least(bc, nb)
        printf "10,000,000 records against 1,000,000: wall %.1fx (median of pairs) %.1fx (fastest runs); processor %.1fx, %.1fx; memory %.1fx\n",
               median(rw, ns), least(bw, nb) / least(sw, ns), median(rc, ns), least(bc, nb) / least(sc, ns), median(rm, ns)
    }' "$rows"
