#pragma once
// The computed record for scripts and spreadsheets: one row per record, one
// column per quantity, each heading naming its unit, values in the units the
// flood record was read in (flows in its flow unit), written so that a
// script reads back exactly the double the computation made:
//
//   time,level_m,storage_1e8m3,storage_change_1e8m3,step_s,storage_rate_m3s,
//   outflow_m3s,outflow_term_m3s,inflow_m3s[,corrected_inflow_m3s][,sigma_m3s][,flag]
//
// ISO times (2024-07-24T14:00:00, with .sss when the record has
// milliseconds), '.' decimals, shortest round-trip numbers, LF line ends,
// whatever the locale. The first record has no step: its step columns (and
// its corrected inflow) are empty cells. The corrected column is there when
// a correction was chosen; a record without a corrected value (fewer than two
// records) leaves it empty. The sigma column (each step's inflow error from
// the gauge's resolution) and the flag column (what the screening found:
// spike, repaired, skipped, or empty) are there when asked for.
//
// With the flag column, each record the reader skipped as a gap (and no
// repair brought back) has a row of its own in time order, flagged skipped:
// its time, the level and outflow it had (if any), every other cell empty.
// A script that sums a column passes over it; one that wants only records
// computed drops the rows flagged skipped.

#include "InflowScreening.h"
#include "InflowTypes.h"
#include "RecordUnits.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>

class LineFile;

// A record left out as a gap: its place (the records before it) and what it read.
struct TSkippedRow {
    std::size_t before = 0;
    DateTimeValue time = 0;
    std::optional<double> level, outflow;
};

struct TTidyTableSource {
    std::span<const TFloodStep> steps;
    std::size_t computed = 0;          // the records written, from the first
    // None: no correction chosen (no column). Else one value per step, as
    // FloodRun.h indexes them: corrected[k] belongs to record k + 1.
    std::optional<std::span<const double>> corrected;
    TRecordUnits units;
    // None: no column. Else one sigma per step, indexed as corrected.
    std::optional<std::span<const double>> sigma;
    // None: no column. Else one flag per record.
    std::optional<std::span<const TRecordFlag>> flags;
    // Written with the flag column only; in record order.
    std::span<const TSkippedRow> skipped = {};
};

std::string TidyTableHeading(const TRecordUnits& units, bool withCorrected, bool withSigma = false,
                             bool withFlags = false);
// The whole text, for callers that keep it (the Python module, tests).
std::string TidyTableText(const TTidyTableSource& source);
// Into a channel open for writing, row by row: a long record's table is
// never whole in memory.
void WriteTidyTable(LineFile& file, const TTidyTableSource& source);
