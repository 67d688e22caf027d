#!/usr/bin/env bash
# Times the batch mode against the pandas script a user would otherwise write,
# on the same generated files, and checks our results.
#
# Settings (environment variables, defaults in brackets):
#   QUELMORA  the program                         [build/quelmora, built when missing]
#   PEERS     the peer scripts and generator      [../shared/bench beside the repository]
#   WORK      scratch folder                      [/tmp/quelmora-bench]
#   SIZES     "NCURVE:NRECORDS ..."               [1000:100000 10000:1000000 10000:10000000]
#   REPEAT    runs of each program and size       [5]
#   REPEAT_BIG  runs for 5,000,000 records or more [3]
#   CHECK_MAX   largest record checked against the slow reference [1000000]
#   PY        Python with pandas and numpy        [/usr/bin/python3]
#   SLOW      1: also time the peer without --fast-time [0]
#
# Each row gives the median wall time and the median of the peak resident
# memory over the runs (/usr/bin/time -v), the median processor time (user and
# system: on a shared machine it varies less than the wall time), and both
# per record: rows of one program at every size show how time and memory grow
# with the record.
# "every output" writes the result, the summary, the corrected inflow
# (--smooth 5 --negative redistribute) and the hydrograph together. Our results are then compared with
# the peers' reference script, under a locale that writes yyyy-mm-dd dates and
# hh:mm:ss times (sv_SE.UTF-8, generated when missing).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
PEERS=${PEERS:-$ROOT/../shared/bench}
WORK=${WORK:-/tmp/quelmora-bench}
SIZES=${SIZES:-"1000:100000 10000:1000000 10000:10000000"}
REPEAT=${REPEAT:-5}
REPEAT_BIG=${REPEAT_BIG:-3}
CHECK_MAX=${CHECK_MAX:-1000000}
PY=${PY:-/usr/bin/python3}
SLOW=${SLOW:-0}
TIME=/usr/bin/time
CHECK_LOCALE=sv_SE.UTF-8

# --- what the benchmark needs
need=()
[ -x "$TIME" ] || need+=(time)
"$PY" -c 'import numpy' 2>/dev/null || need+=(python3-numpy)
"$PY" -c 'import pandas' 2>/dev/null || need+=(python3-pandas)
command -v localedef >/dev/null || need+=(locales)
if [ ${#need[@]} -gt 0 ]; then
    echo "Installing: ${need[*]}" >&2
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >&2
fi
if ! locale -a 2>/dev/null | grep -qi '^sv_SE\.utf-\?8$'; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo localedef -i sv_SE -f UTF-8 "$CHECK_LOCALE" || echo "bench: cannot make $CHECK_LOCALE" >&2
fi
for f in gen.py peer_pandas.py ref_spec.py compare.py hand/curve.txt hand/flood.txt hand/expected.txt; do
    [ -f "$PEERS/$f" ] || { echo "bench: $PEERS/$f not found (set PEERS)" >&2; exit 1; }
done

if [ -z "${QUELMORA:-}" ]; then
    QUELMORA=$ROOT/build/quelmora
    if [ ! -x "$QUELMORA" ]; then
        (cd "$ROOT" && source tools/setup.sh && quelmora_install >&2 && quelmora_build build >&2)
    fi
fi
[ -x "$QUELMORA" ] || { echo "bench: $QUELMORA is not a program" >&2; exit 1; }

mkdir -p "$WORK"
ROWS="$WORK/rows.tsv"
: > "$ROWS"

# median of the numbers on standard input
median() { sort -g | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

# time_runs CASE NAME COMMAND...: $runs runs under /usr/bin/time -v
time_runs() {
    local case=$1 name=$2; shift 2
    local walls=() cpus=() rsss=() failed=0 r tf
    for r in $(seq 1 "$runs"); do
        tf="$WORK/time.$r"
        if ! "$TIME" -v -o "$tf" "$@" >/dev/null 2>"$WORK/stderr.$r"; then
            failed=$((failed + 1))
            sed 's/^/    /' "$WORK/stderr.$r" >&2
        fi
        walls+=("$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($NF, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s}' "$tf")")
        cpus+=("$(awk -F': ' '/(User|System) time \(seconds\)/ {s += $NF} END {print s}' "$tf")")
        rsss+=("$(awk -F': ' '/Maximum resident set size/ {print $NF / 1024}' "$tf")")
    done
    printf '%s\t%s\t%s\t%s\t%.2f\t%.1f\t%s\t%.2f\n' "$case" "$name" "$runs" "$failed" \
        "$(printf '%s\n' "${walls[@]}" | median)" "$(printf '%s\n' "${rsss[@]}" | median)" "$nr" \
        "$(printf '%s\n' "${cpus[@]}" | median)" >> "$ROWS"
}

CHECKS=""
for size in $SIZES; do
    nc=${size%%:*}; nr=${size##*:}
    case="c${nc}_f${nr}"
    dir="$WORK/$case"
    runs=$REPEAT
    [ "$nr" -ge 5000000 ] && runs=$REPEAT_BIG
    if [ ! -f "$dir/flood.txt" ]; then
        "$PY" "$PEERS/gen.py" "$dir" "$nc" "$nr" >&2
    fi
    time_runs "$case" "quelmora --out FILE" "$QUELMORA" --curve "$dir/curve.txt" --flood "$dir/flood.txt" --out "$dir/out_ours.txt"
    time_runs "$case" "quelmora every output" "$QUELMORA" --curve "$dir/curve.txt" --flood "$dir/flood.txt" \
        --out "$dir/out_all.txt" --summary "$dir/summary.csv" --corrected "$dir/corrected.csv" \
        --hydrograph "$dir/hydrograph.png" --smooth 5 --negative redistribute
    # The same record with a fourth field (a loss in m^3/s) that the balance
    # adds to the outflow: what keeping and reading the further fields costs.
    if [ ! -f "$dir/flood_losses.txt" ]; then
        awk 'NR == 1 {print $0 ",loss(m3/s)"; next} {printf "%s,%d.%d\n", $0, NR % 37, NR % 10}' \
            "$dir/flood.txt" > "$dir/flood_losses.txt"
    fi
    time_runs "$case" "quelmora --losses 4" "$QUELMORA" --curve "$dir/curve.txt" --flood "$dir/flood_losses.txt" \
        --losses 4 --out "$dir/out_losses.txt"
    time_runs "$case" "pandas --fast-time" "$PY" "$PEERS/peer_pandas.py" --fast-time "$dir/curve.txt" "$dir/flood.txt" "$dir/out_peer.txt"
    if [ "$SLOW" = 1 ]; then
        time_runs "$case" "pandas" "$PY" "$PEERS/peer_pandas.py" "$dir/curve.txt" "$dir/flood.txt" "$dir/out_peer.txt"
    fi

    # Our result against the reference: times exactly, numbers within one
    # unit of the fourth decimal. (A step between two time stamps held as
    # days carries a rounding of about 1e-6 s, which can move a storage rate
    # by one unit there; 0.00011 lets the float form of 0.0001 pass.)
    # (The reference loops over the records in Python: the largest records
    # are left to the smaller ones' check.)
    if [ "$nr" -le "$CHECK_MAX" ]; then
        [ -f "$dir/out_ref.txt" ] || "$PY" "$PEERS/ref_spec.py" "$dir/curve.txt" "$dir/flood.txt" "$dir/out_ref.txt"
        LC_ALL=$CHECK_LOCALE "$QUELMORA" --curve "$dir/curve.txt" --flood "$dir/flood.txt" --out "$dir/out_check.txt"
        CHECKS+="$case vs the reference: $("$PY" "$PEERS/compare.py" "$dir/out_check.txt" "$dir/out_ref.txt" 0.00011 | tail -1)"$'\n'
    fi
    # Every output's result is the plain one.
    cmp -s "$dir/out_ours.txt" "$dir/out_all.txt" || CHECKS+="$case: the result with every output differs!"$'\n'
done

LC_ALL=$CHECK_LOCALE "$QUELMORA" --curve "$PEERS/hand/curve.txt" --flood "$PEERS/hand/flood.txt" --out "$WORK/hand.txt"
CHECKS+="hand case vs hand/expected.txt: $("$PY" "$PEERS/compare.py" "$WORK/hand.txt" "$PEERS/hand/expected.txt" 0.00011 | tail -1)"$'\n'

echo "# batch benchmark  $(date -u '+%Y-%m-%d %H:%M UTC')  $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores"
echo "# medians of wall time, processor time and peak resident memory; per record: processor microseconds and bytes"
printf '%-17s %-22s %4s %6s %7s %7s %9s %11s %10s\n' case program runs failed wall_s cpu_s rss_mib cpu_us_rec B_per_rec
awk -F'\t' '{printf "%-17s %-22s %4s %6s %7.2f %7.2f %9.1f %11.2f %10.0f\n", $1, $2, $3, $4, $5, $8, $6, $8 * 1e6 / $7, $6 * 1048576 / $7}' "$ROWS"
awk -F'\t' '{w[$1 FS $2] = $5} END {for (k in w) { split(k, p, FS); if (p[2] == "quelmora --out FILE") { o = w[p[1] FS "pandas --fast-time"]; if (o && w[k]) printf "%s: %.1fx faster than pandas --fast-time\n", p[1], o / w[k] } } }' "$ROWS" | sort
# Growth: each program's largest record against its record a tenth as long,
# in wall time, processor time and memory (a linear program gives 10x, 10x, 1x
# or less).
awk -F'\t' '{k = $2 FS $7; w[k] = $5; c[k] = $8; m[k] = $6; n[$2 FS $7] = $7; if ($7 > big[$2]) big[$2] = $7}
    END {for (p in big) { b = p FS big[p]; s = p FS (big[p] / 10); if (s in w && w[s] > 0 && c[s] > 0 && m[s] > 0)
        printf "%s: %d records in %.1fx the wall time, %.1fx the processor time and %.1fx the memory of %d\n",
               p, big[p], w[b] / w[s], c[b] / c[s], m[b] / m[s], big[p] / 10 } }' "$ROWS" | sort
echo
printf '%s' "$CHECKS"
