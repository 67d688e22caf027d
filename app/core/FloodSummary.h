#pragma once
// The flood at a glance: peaks, volumes and their times, taken from a computed
// flood record. What a hydrologist reads off the hydrograph, and what scripts
// read from the summary file.

#include "Exceptions.h"
#include "InflowComparison.h"
#include "InflowTypes.h"
#include "RecordUnits.h"

class LineFile;
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

// A largest value and the time stamp of the record that holds it.
struct TFloodPeak {
    double value = 0.0;
    DateTimeValue time = 0.0;
};

// Every item is empty when it cannot be computed: the start, the end, the
// largest outflow and the highest level need one record; the items of the
// steps between records (inflow, volumes, storage change, attenuation, lag,
// negative inflows) need two.
struct TFloodSummary {
    std::size_t records = 0;                   // the records summarised
    std::optional<DateTimeValue> start;        // T of the first record
    std::optional<DateTimeValue> end;          // T of the last record
    std::optional<TFloodPeak> peakInflow;      // m^3/s, largest Qin after the first record
    std::optional<TFloodPeak> peakOutflow;     // m^3/s, largest recorded Qout
    std::optional<TFloodPeak> maxLevel;        // m, largest Z
    std::optional<double> inflowVolume;        // 10^8 m^3, sum of Qin * dt / 10^8
    std::optional<double> outflowVolume;       // 10^8 m^3, sum of qMean * dt / 10^8
    std::optional<double> storageChange;       // 10^8 m^3, V last - V first
    std::optional<double> peakAttenuation;     // %, (1 - peak outflow / peak inflow) * 100
    // h, time of peak outflow - time of peak inflow; only for a record of
    // less than a year (over years the two peaks belong to different floods)
    std::optional<double> peakLag;
    std::optional<std::size_t> negativeInflowSteps;   // records after the first with Qin < 0
    std::optional<double> negativeInflowVolume;       // 10^8 m^3, their sum of Qin * dt (<= 0)
    // Records the reader skipped as gaps (--missing skip): counted when
    // skipping was asked for, left out otherwise.
    std::optional<std::size_t> skippedRecords;
    // With a repair, skippedRecords counts the records still left out, and
    // this the records whose level or outflow was interpolated (spikes and
    // skipped records brought back).
    std::optional<std::size_t> repairedRecords;
    // The first record whose step goes back in time (records out of order):
    // its water would count with the wrong sign, so the volumes and the
    // negative inflows are left empty.
    std::optional<std::size_t> backwardStep;

    // When a corrected inflow was made (smoothing, redistribution), its peak
    // and volume follow the other items; without one they are left out, and
    // the summary is what it always was.
    bool corrected = false;
    std::optional<TFloodPeak> peakInflowCorrected;   // m^3/s, largest corrected inflow
    std::optional<double> inflowVolumeCorrected;     // 10^8 m^3, sum of corrected * dt / 10^8

    // Each of the following is there when its choice was made, its items
    // after the corrected ones; without the choice they are left out.
    // The smoother held to the gauge: how far its implied levels depart from
    // the recorded ones.
    struct THeldDeparture {
        double rms = 0.0;        // m
        double largest = 0.0;    // m, signed (implied - recorded)
        DateTimeValue time = 0.0;
        int solves = 0;          // systems solved to find the weight
    };
    std::optional<THeldDeparture> heldDeparture;
    // The gauge's resolution against the negative inflows.
    struct TNoise {
        double medianSigma = 0.0;    // m^3/s
        std::size_t within = 0;      // negative steps with inflow >= -2 sigma
        std::size_t beyond = 0;      // the others
    };
    std::optional<TNoise> noise;
    // The computed inflow against a reference (InflowComparison.h).
    std::optional<TInflowComparison> comparison;
};

// The summary of the first `computed` records of a flood record (no more than
// steps holds). After a computation that succeeded, computed is the number of
// records; after one that stopped at a record, it is that record's index: the
// summary then covers exactly the records whose rows were computed, as the
// table shows them, and never reads the fields the failed run left stale.
// Ties go to the first record. Sums are taken with a 64-bit significand and
// rounded to double once, like every formula of the computation.
TFloodSummary SummarizeFlood(std::span<const TFloodStep> steps, std::size_t computed);
// The same, with the corrected inflow's items (one value per step, indexed as
// FloodRun.h says), for the computed records.
TFloodSummary SummarizeFlood(std::span<const TFloodStep> steps, std::size_t computed,
                             std::span<const double> corrected);

// The summary's items in the order of the summary file, each value and unit
// in `units` (a flow in its flow unit, a level in its level unit, volumes and
// the storage change in its storage unit; the percentage and the hours as they
// are). With the default units, the values and units are the program's own.
struct TSummaryItem {
    std::string name;                      // "peak_inflow"
    std::string caption;                   // "洪峰流量 / 峰现时间"
    std::string unit;                      // "m^3/s", "cfs", "" for a count
    std::optional<std::size_t> count;      // records, negative_inflow_steps
    std::optional<double> value;
    std::optional<DateTimeValue> time;
};
std::vector<TSummaryItem> SummaryItems(const TFloodSummary& summary, const TRecordUnits& units = {});
// An item's value as the summary file writes it, four decimals at most (0
// for an item without one); ESummaryValue, naming the item, beyond them.
double SummaryNumber(const TSummaryItem& item);

// The summary for scripts: UTF-8, lines ending CR LF, the heading
// "item,value,unit,time", then one line per item. Numbers are the table's
// texts (at most four decimals, ties to even, no trailing zeros) but always
// with '.'; times are always yyyy-mm-dd hh:mm:ss; whatever the locale. An
// empty item keeps its unit and leaves value and time empty. A value beyond
// the range of the table's numbers raises ESummaryValue, naming the item.
// Values and the unit column in `units` (see SummaryItems).
std::string SummaryText(const TFloodSummary& summary, const TRecordUnits& units = {});
class ESummaryValue : public EMathError {
    using EMathError::EMathError;
};
// SummaryText into fileName, replaced as a whole or not at all ("/dev/stdout"
// and other non-regular targets are written directly). The text is made
// before the file is touched, so a value that cannot be written leaves an
// earlier file as it was.
void WriteSummaryText(const TFloodSummary& summary, const std::string& fileName, const TRecordUnits& units = {});

// The computed and the corrected inflow for scripts, in the summary's forms:
// the heading "time,inflow,corrected_inflow", then one line for each record
// after the first of the `computed` ones (the first has no step, so no
// inflow), its time and the two values. Without a correction the corrected
// value is the computed one. Replaced as a whole or not at all.
std::string CorrectedText(std::span<const TFloodStep> steps, std::size_t computed,
                          std::span<const double> corrected);
void WriteCorrectedText(std::span<const TFloodStep> steps, std::size_t computed,
                        std::span<const double> corrected, const std::string& fileName);
// The same text into a channel open for writing, line by line: a long
// record's text is never whole in memory.
void WriteCorrectedText(LineFile& file, std::span<const TFloodStep> steps, std::size_t computed,
                        std::span<const double> corrected);

// One line of the summary as the window shows it: the Chinese caption, the
// value in the locale's number form, the unit, and the time in the locale's
// date and time form; texts of empty items are empty.
struct TFloodSummaryRow {
    std::string item;      // the name scripts read, "peak_inflow"
    std::string caption;   // "洪峰流量 / 峰现时间"
    std::string value;
    std::string unit;
    std::string time;
};
std::vector<TFloodSummaryRow> SummaryRows(const TFloodSummary& summary);
