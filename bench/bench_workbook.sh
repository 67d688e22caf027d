#!/usr/bin/env bash
# Writes a sheet of ROWS rows (a time and eight numbers each) with the
# workbook layer, reads it back streamed and whole, reads the agency's
# workbook, and reads the same large sheet with openpyxl (read-only mode) for
# comparison. Each step runs in a process of its own; each prints its time,
# cells and peak memory.
#
# Settings (environment variables, defaults in brackets):
#   BENCH_WORKBOOK  the benchmark program  [build/bench/bench_workbook]
#   ROWS            rows of the sheet      [1000000]
#   WORK            scratch folder         [/tmp/quelmora-bench-workbook]
#   REALDATA        the real data folder   [../shared/realdata beside the repository]
#   PY              Python with openpyxl   [/usr/bin/python3]
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BENCH_WORKBOOK=${BENCH_WORKBOOK:-$ROOT/build/bench/bench_workbook}
ROWS=${ROWS:-1000000}
WORK=${WORK:-/tmp/quelmora-bench-workbook}
REALDATA=${REALDATA:-$ROOT/../shared/realdata}
PY=${PY:-/usr/bin/python3}

mkdir -p "$WORK"
book=$WORK/rows.xlsx
"$BENCH_WORKBOOK" write "$book" "$ROWS"
echo "         $(stat -c %s "$book") bytes on disk"
"$BENCH_WORKBOOK" stream "$book"
"$BENCH_WORKBOOK" whole "$book"
real=$REALDATA/as-published/powell_area_capacity.xlsx
for sheet in Pre2017Bathymetry 2017Bathymetry; do
    printf 'agency %-18s ' "$sheet"
    "$BENCH_WORKBOOK" whole "$real#$sheet"
done
"$PY" - "$book" <<'PYEOF'
import resource, sys, time
import openpyxl
start = time.perf_counter()
book = openpyxl.load_workbook(sys.argv[1], read_only=True)
cells = sum(1 for row in book.worksheets[0].iter_rows(values_only=True) for v in row if v is not None)
seconds = time.perf_counter() - start
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
print(f"openpyxl {seconds:8.3f} s  {cells:10d} cells  {peak:8.1f} MiB peak")
PYEOF
rm -f "$book"
