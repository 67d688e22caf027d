#pragma once
// The screening and repair of a record read, before its computation: the
// levels that stand out from their neighbours (spikes), and the records the
// reader skipped as gaps, brought back with their missing level and outflow
// interpolated in time. Every front end runs this one order:
//
//   1. with repair, the skipped records that lie between two records read
//      (and miss no loss) are put back in their places (InflowWork::
//      RestoreSkipped), flagged Skipped where their level is missing;
//   2. with a spike tolerance, the levels are screened; a skipped level is
//      neither judged nor part of a window;
//   3. with repair, every Spike and Skipped level is interpolated between the
//      nearest records before and after it that keep theirs (RepairLevels),
//      and a missing outflow likewise between the nearest outflows read;
//      every record so mended is flagged Repaired.
//
// Without repair the record keeps its levels; the spikes are only flagged.
// Each run starts from the record as read (InflowWork::UndoRepair), so a
// front end may screen and repair the same record again with other choices.

#include "InflowScreening.h"
#include "InflowWork.h"

#include <cstddef>
#include <optional>
#include <vector>

struct TRecordRepair {
    std::vector<TRecordFlag> flags;   // one per record of FloodSteps after the repair
    std::vector<TSpike> spikes;       // records as in FloodSteps after the repair
    std::vector<double> spikeLevels;  // each spike's level as read
    // The skipped records put back (indices in FloodSteps), with what they read.
    std::vector<InflowWork::TRestored> restored;
};

// Raises Exception when a repair finds no record that keeps its level to
// interpolate from (every level flagged), before changing any level.
TRecordRepair ScreenAndRepair(InflowWork& work, std::optional<double> spikeTolerance, bool repair);
