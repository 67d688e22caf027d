#include "RecordRepair.h"

#include "Exceptions.h"

TRecordRepair ScreenAndRepair(InflowWork& work, std::optional<double> spikeTolerance, bool repair) {
    TRecordRepair out;
    // Screened as read, whatever an earlier repair of the same record did.
    work.UndoRepair();
    if (repair) out.restored = work.RestoreSkipped();
    std::vector<TFloodStep>& steps = work.FloodSteps;
    const std::size_t n = steps.size();
    std::vector<TRecordFlag> given(n, TRecordFlag::None);
    std::vector<TRecordFlag> outflowGiven(n, TRecordFlag::None);
    for (const InflowWork::TRestored& r : out.restored) {
        if (!r.levelRead) given[r.record] = TRecordFlag::Skipped;
        if (!r.outflowRead) outflowGiven[r.record] = TRecordFlag::Skipped;
    }
    std::vector<double> levels(n);
    for (std::size_t i = 0; i < n; ++i) levels[i] = steps[i].Z;
    if (spikeTolerance) {
        TSpikeScreening screening = ScreenSpikes(levels, *spikeTolerance, given);
        out.flags = std::move(screening.flags);
        out.spikes = std::move(screening.spikes);
        for (const TSpike& s : out.spikes) out.spikeLevels.push_back(levels[s.record]);
    } else {
        out.flags = given;
    }
    if (!repair) return out;

    std::vector<DateTimeValue> times(n);
    std::vector<double> outflows(n);
    for (std::size_t i = 0; i < n; ++i) {
        times[i] = steps[i].T;
        outflows[i] = steps[i].Qout;
    }
    TLevelRepair mended = RepairLevels(times, levels, out.flags);
    if (!mended.done) {
        // Nothing half done stays: the records put back leave again.
        work.UndoRepair();
        throw Exception("--repair: no record keeps a level to interpolate from");
    }
    // The records put back lie between two records read, whose outflows
    // are there to interpolate from.
    TLevelRepair flows = RepairLevels(times, outflows, outflowGiven);
    for (std::size_t i = 0; i < n; ++i) {
        // Through the record, which then shows the mended values and keeps the ones read.
        if (mended.levels[i] != steps[i].Z) work.ReplaceLevel(i, mended.levels[i]);
        if (flows.levels[i] != steps[i].Qout) work.ReplaceOutflow(i, flows.levels[i]);
    }
    out.flags = std::move(mended.flags);
    for (const InflowWork::TRestored& r : out.restored) out.flags[r.record] = TRecordFlag::Repaired;
    return out;
}
