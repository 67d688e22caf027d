#pragma once
// A long record cut into calendar periods (water years, years, months): the
// periods themselves, the negative inflows redistributed within each, and one
// summary row per period.
//
// Which period a step belongs to: the period of the time stamp of the record
// that ends it, i.e. the row it is shown on in the calculation table. Daily
// agency records stamp a day's values with that day, and a step ending at
// 1 October 00:00 is then the inflow of 1 October, the water year's first
// day. So the periods' rows add up to the whole record's, a period's inflow
// volume minus its outflow volume is its storage change under the plain
// balance, and a row of the calculation table and the period that holds it
// show the same time. The first record has no step; it belongs to its period
// as a record only.
//
// Time stamps are taken apart as the tables show them (rounded to whole
// milliseconds), so a stamp shown as 1 October belongs to October.

#include "FloodSummary.h"
#include "InflowTypes.h"
#include "RecordUnits.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

enum class TPeriodKind { Year, WaterYear, Month };

struct TPeriodRule {
    TPeriodKind kind = TPeriodKind::WaterYear;
    // The month (1-12) a water year begins with: October in the US, others
    // elsewhere. A water year is named by the calendar year in which it ends:
    // water year 1983 runs from October 1982 to September 1983. With 1 it is
    // the calendar year.
    int startMonth = 10;
    friend bool operator==(const TPeriodRule&, const TPeriodRule&) = default;
};

// The period holding a time, as a number that grows with time: the year for
// Year, the water year's name for WaterYear, year * 12 + month - 1 for Month.
// Raises std::invalid_argument for a start month outside 1-12.
std::int64_t PeriodOf(DateTimeValue time, const TPeriodRule& rule);
// "1983", "WY1983", "1983-05".
std::string PeriodLabel(std::int64_t period, const TPeriodRule& rule);
// The period's first midnight and the next period's: the range a chart zooms
// to for the period. NaN beyond the calendar's years 1-9999.
DateTimeValue PeriodStart(std::int64_t period, const TPeriodRule& rule);
DateTimeValue PeriodEnd(std::int64_t period, const TPeriodRule& rule);

// A run of consecutive records in one period: records first .. last. Records
// out of time order that come back to an earlier period start a new run.
struct TPeriodSpan {
    std::int64_t period = 0;
    std::size_t first = 0, last = 0;
};
std::vector<TPeriodSpan> SplitPeriods(std::span<const DateTimeValue> times, const TPeriodRule& rule);

// ---------------------------------------------------------------- redistribution

struct TPeriodScaling {
    enum class TState {
        Untouched,        // no negative step
        Scaled,           // negatives set to 0, positives multiplied by factor
        NegativeVolume,   // the period's volume is negative: left as it was
    };
    TPeriodSpan span;
    TState state = TState::Untouched;
    std::size_t negativeSteps = 0;   // before the correction
    double volume = 0.0;             // 10^8 m^3, the period's steps' water (kept)
    double factor = 1.0;             // (volume) / (water of the positive steps), in [0, 1]
};

struct TPeriodRedistribution {
    std::vector<double> inflow;   // the corrected series, inflow[k] for the step ending at record k + 1
    std::vector<TPeriodScaling> periods;
};

// Within each period, every negative inflow becomes 0 and every positive one
// is multiplied by V / P, V the period's volume (sum of inflow * dt) and P
// that of its positive steps: the period keeps its volume and no water moves
// between periods. A period whose V is negative cannot be mended so: it is
// left as it is and reported. Steps whose length is not positive, or whose
// inflow is not a number, carry no water and keep their value. times holds the N records, inflow and dt the
// N - 1 steps. Raises std::invalid_argument for lists of the wrong lengths.
TPeriodRedistribution ScaleNegativeByPeriod(std::span<const DateTimeValue> times, std::span<const double> inflow,
                                            std::span<const double> dt, const TPeriodRule& rule);

// ---------------------------------------------------------------- summary rows

// One period of a computed record. The items of the steps are empty for a
// period without one (a period holding only the record's first record).
struct TPeriodSummary {
    std::int64_t period = 0;
    std::string label;
    std::size_t records = 0;               // records stamped in the period
    DateTimeValue first = 0.0, last = 0.0; // their first and last time
    std::optional<TFloodPeak> peakInflow;  // m^3/s, ties to the first
    std::optional<double> inflowVolume;    // 10^8 m^3, sum of Qin * dt
    std::optional<double> outflowVolume;   // 10^8 m^3, sum of qMean * dt
    // 10^8 m^3, the sum of its steps' storage changes: from the record before
    // the period (the period's own first record for the record's first period)
    // to its last record.
    std::optional<double> storageChange;
    std::optional<TFloodPeak> lowestInflow;         // m^3/s, ties to the first
    std::optional<std::size_t> negativeInflowSteps;
    std::optional<double> negativeInflowVolume;     // 10^8 m^3
    bool corrected = false;
    std::optional<TFloodPeak> peakInflowCorrected;
    std::optional<double> inflowVolumeCorrected;
};

// The rows of the first `computed` records (as SummarizeFlood), the peaks,
// volumes and negative items computed as SummarizeFlood computes them over
// the whole record.
std::vector<TPeriodSummary> SummarizePeriods(std::span<const TFloodStep> steps, std::size_t computed,
                                             const TPeriodRule& rule);
// With the corrected inflow's items (one per step, as in FloodRun.h).
std::vector<TPeriodSummary> SummarizePeriods(std::span<const TFloodStep> steps, std::size_t computed,
                                             std::span<const double> corrected, const TPeriodRule& rule);

// The rows for scripts, in the summary file's forms (UTF-8, CR LF, numbers
// with at most four decimals and '.', times as yyyy-mm-dd hh:mm:ss, an empty
// item left empty). Heading:
//   period,start,end,records,peak_inflow,peak_inflow_time,inflow_volume,
//   outflow_volume,storage_change,lowest_inflow,lowest_inflow_time,
//   negative_inflow_steps,negative_inflow_volume
// followed, when the rows carry a correction, by
//   ,peak_inflow_corrected,peak_inflow_corrected_time,inflow_volume_corrected
// Flows in m^3/s, volumes in 10^8 m^3. With units other than the program's
// own (--units), flows and volumes are in the flow and storage units given,
// as the summary's are, and each heading of a flow or a volume ends with its
// unit as --table's do: peak_inflow_cfs, inflow_volume_af. A value beyond the
// range of the table's numbers raises EInvalidOp, as the summary does.
std::string PeriodSummaryText(std::span<const TPeriodSummary> rows, const TRecordUnits& units = {});
