#!/usr/bin/env bash
# Times the Python module against the batch mode and the pandas peer, on the
# files bench_batch.sh generates (the same generator, the same folder), in the
# same run, runs of the three interleaved.
#
# Settings (environment variables, defaults in brackets):
#   QUELMORA   the program                     [build/quelmora]
#   MODULE     folder of the built module      [build/python]
#   PEERS      the peer scripts and generator  [../shared/bench beside the repository]
#   WORK       scratch folder                  [/tmp/quelmora-bench]
#   SIZE       "NCURVE:NRECORDS"               [10000:1000000]
#   REPEAT     runs of each                    [5]
#   PY         Debian's Python, where the module, numpy and pandas are [/usr/bin/python3]
#
# Rows (medians over the runs, wall time):
#   batch --out FILE             the program, start to end
#   python read+compute          read_curve + read_record + compute, in the process
#   python whole process         the same run from interpreter start (imports included)
#   python compute from arrays   compute() alone on a Record made from arrays in memory
#   python Record from arrays    making that Record (times, levels, outflows)
#   pandas --fast-time           the peer's whole job
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
QUELMORA=${QUELMORA:-$ROOT/build/quelmora}
MODULE=${MODULE:-$ROOT/build/python}
PEERS=${PEERS:-$ROOT/../shared/bench}
WORK=${WORK:-/tmp/quelmora-bench}
SIZE=${SIZE:-10000:1000000}
REPEAT=${REPEAT:-5}
PY=${PY:-/usr/bin/python3}

[ -x "$QUELMORA" ] || { echo "bench: $QUELMORA is not built" >&2; exit 1; }
ls "$MODULE"/quelmora*.so >/dev/null 2>&1 || { echo "bench: no module in $MODULE" >&2; exit 1; }
for f in gen.py peer_pandas.py; do
    [ -f "$PEERS/$f" ] || { echo "bench: $PEERS/$f not found (set PEERS)" >&2; exit 1; }
done

nc=${SIZE%%:*}; nr=${SIZE##*:}
dir="$WORK/c${nc}_f${nr}"
mkdir -p "$dir"
[ -f "$dir/flood.txt" ] || "$PY" "$PEERS/gen.py" "$dir" "$nc" "$nr" >&2
rows="$WORK/python_rows.tsv"
: > "$rows"

# The module's side: prints "NAME<TAB>SECONDS" rows.
script="$WORK/bench_python_run.py"
cat > "$script" <<'EOF'
import sys, time
start = time.perf_counter()
import numpy as np
import quelmora
mode, curve_file, flood_file = sys.argv[1:4]
t0 = time.perf_counter()
curve = quelmora.read_curve(curve_file)
record = quelmora.read_record(flood_file)
result = quelmora.compute(curve, record)
t1 = time.perf_counter()
if mode == "read":
    sys.exit(0)
times, levels, outflows = record.time, record.level, record.outflow
t2 = time.perf_counter()
made = quelmora.Record(times, levels, outflows)
t3 = time.perf_counter()
again = quelmora.compute(curve, made)
t4 = time.perf_counter()
assert np.array_equal(again.inflow, result.inflow)
print(f"python read+compute\t{t1 - t0:.4f}")
print(f"python Record from arrays\t{t3 - t2:.4f}")
print(f"python compute from arrays\t{t4 - t3:.4f}")
print(f"python import\t{t0 - start:.4f}")
EOF

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.4f", b - a}'; }
for r in $(seq 1 "$REPEAT"); do
    a=$(now); "$QUELMORA" --curve "$dir/curve.txt" --flood "$dir/flood.txt" --out "$dir/out_ours.txt"; b=$(now)
    printf 'batch --out FILE\t%s\n' "$(elapsed "$a" "$b")" >> "$rows"
    # The whole process does nothing but read and compute.
    a=$(now); PYTHONPATH=$MODULE "$PY" "$script" read "$dir/curve.txt" "$dir/flood.txt"; b=$(now)
    printf 'python whole process\t%s\n' "$(elapsed "$a" "$b")" >> "$rows"
    PYTHONPATH=$MODULE "$PY" "$script" all "$dir/curve.txt" "$dir/flood.txt" >> "$rows"
    a=$(now); "$PY" "$PEERS/peer_pandas.py" --fast-time "$dir/curve.txt" "$dir/flood.txt" "$dir/out_peer.txt"; b=$(now)
    printf 'pandas --fast-time\t%s\n' "$(elapsed "$a" "$b")" >> "$rows"
done

median() { sort -g | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }
declare -A m
while IFS= read -r name; do
    m[$name]=$(awk -F'\t' -v n="$name" '$1 == n {print $2}' "$rows" | median)
done < <(cut -f1 "$rows" | sort -u)

echo "# python module benchmark  $(date -u '+%Y-%m-%d %H:%M UTC')  $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores"
echo "# $nr records on a $nc-point curve; medians of $REPEAT runs, wall seconds"
for name in "batch --out FILE" "python read+compute" "python whole process" "python import" \
            "python Record from arrays" "python compute from arrays" "pandas --fast-time"; do
    printf '%-28s %8.3f\n' "$name" "${m[$name]}"
done
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
echo "python read+compute / batch:           $(ratio "${m[python read+compute]}" "${m[batch --out FILE]}")x"
echo "python whole process / batch:          $(ratio "${m[python whole process]}" "${m[batch --out FILE]}")x"
echo "pandas --fast-time / python read+compute: $(ratio "${m[pandas --fast-time]}" "${m[python read+compute]}")x"
echo "pandas --fast-time / python whole process: $(ratio "${m[pandas --fast-time]}" "${m[python whole process]}")x"
