#!/usr/bin/env bash
# Runs every fuzz target (tests/fuzz) for SECONDS seconds each, one after the
# other, each on a fresh scratch copy of its seed corpus, and prints one line
# per target: runs, coverage (cov, ft), corpus size, crashes. Exits non-zero
# when any target found a crash, leak, timeout or broken property.
#
#   bench/fuzz.sh SECONDS [TARGET...]     (default: 60 seconds, all targets)
#
# Settings (environment variables, defaults in brackets):
#   BUILD   the clang build folder, configured and built when needed [build-fuzz]
#   RUNS    where corpora, logs and crash files go                   [$BUILD/fuzz-run]
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
SECONDS_EACH=${1:-60}
shift || true
BUILD=${BUILD:-$ROOT/build-fuzz}
RUNS=${RUNS:-$BUILD/fuzz-run}

ALL_TARGETS=(fuzz_decimal_text fuzz_stamp_from_text fuzz_stamp_pattern
             fuzz_line_file fuzz_curve_file fuzz_flood_file fuzz_agency_file fuzz_workbook)
TARGETS=("$@")
[ ${#TARGETS[@]} -eq 0 ] && TARGETS=("${ALL_TARGETS[@]}")

# Texts are short; files get room for a few thousand lines; workbooks room
# for the agency's workbook among the seeds.
max_len() {
    case $1 in
        fuzz_line_file|fuzz_curve_file|fuzz_flood_file|fuzz_agency_file) echo 65536 ;;
        fuzz_workbook) echo 262144 ;;
        *) echo 4096 ;;
    esac
}

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DQUELMORA_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
fi
cmake --build "$BUILD" -j2 --target "${TARGETS[@]}" >/dev/null

# The targets' own temporary files go to a folder of this run only.
SCRATCH=$(mktemp -d "${FUZZ_TMP:-/dev/shm}/quelmora-fuzz-run.XXXXXX" 2>/dev/null || mktemp -d)
trap 'rm -rf "$SCRATCH"' EXIT

status=0
for t in "${TARGETS[@]}"; do
    dir=$RUNS/$t
    rm -rf "$dir"
    mkdir -p "$dir/corpus"
    cp "$ROOT/tests/fuzz/corpus/$t/"* "$dir/corpus/"
    rc=0
    TMPDIR=$SCRATCH "$BUILD/fuzz/$t" "$dir/corpus" \
        -max_total_time="$SECONDS_EACH" -max_len="$(max_len "$t")" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$dir/" \
        >"$dir/log" 2>&1 || rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -1)
    stats=$(grep -E '^#[0-9]+.*cov: ' "$dir/log" | tail -1 || true)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$stats")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$stats")
    corpus=$(find "$dir/corpus" -type f | wc -l)
    crashes=$(find "$dir" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
              -o -name 'oom-*' -o -name 'slow-unit-*' \) | sort | tr '\n' ' ')
    if [ $rc -ne 0 ] || [ -n "$crashes" ]; then
        status=1
        result="crashes: ${crashes:-exit status $rc} (log: $dir/log)"
    else
        result="crashes: none"
    fi
    printf '%-22s runs: %-9s cov: %-6s ft: %-6s corpus: %-6s %s\n' \
        "$t" "${runs:-?}" "${cov:-?}" "${ft:-?}" "$corpus" "$result"
done
exit $status
