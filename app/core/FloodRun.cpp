#include "FloodRun.h"

#include "InflowCorrection.h"
#include "RecordSeries.h"

#include <algorithm>

TPeriodRule ScaleRule(const TCorrectionOptions& correction) {
    using P = TCorrectionOptions::TScalePeriod;
    TPeriodRule rule;
    rule.kind = correction.scaleBy == P::Year ? TPeriodKind::Year
              : correction.scaleBy == P::Month ? TPeriodKind::Month
                                               : TPeriodKind::WaterYear;
    rule.startMonth = correction.waterYearStart;
    return rule;
}

namespace {

// The smoother held to the gauge on the computed inflow. With a bank storage
// the storage term is (1 + K) times the lake's: storages and curve taken
// (1 + K) times read the same level back from the same water.
TToleranceSmoothing HeldSmoothing(const TRecordSeries& s, const TRunInputs& inputs, double tolerance) {
    const std::span<const std::size_t> curveOf =
        inputs.curves.empty() ? std::span<const std::size_t>() : inputs.curveOf.first(s.levels.size());
    std::vector<TCurveAt> curves(inputs.curves.begin(), inputs.curves.end());
    if (curves.empty()) curves.push_back({inputs.curve, inputs.area});
    if (inputs.storageFactor == 1.0)
        return SmoothToTolerance(s.levels, s.storages, s.inflow, s.dt, curves, curveOf, tolerance);
    const long double f = inputs.storageFactor;
    std::vector<double> storages(s.storages.size());
    std::transform(s.storages.begin(), s.storages.end(), storages.begin(),
                   [&](double v) { return static_cast<double>(v * f); });
    std::vector<std::vector<TCurvePoint>> scaled;
    for (TCurveAt& c : curves) {
        std::vector<TCurvePoint>& points = scaled.emplace_back(c.points.begin(), c.points.end());
        for (TCurvePoint& p : points) p.V = static_cast<double>(p.V * f);
        c.points = points;
    }
    return SmoothToTolerance(s.levels, storages, s.inflow, s.dt, curves, curveOf, tolerance);
}

}  // namespace

TFloodRun RunFlood(std::span<const TFloodStep> steps, std::size_t computed, const TCorrectionOptions& correction,
                   bool withSummary, const TRunInputs& inputs) {
    TFloodRun run;
    const bool held = correction.smoothTolerance > 0;
    const bool byPeriod = correction.scaleBy != TCorrectionOptions::TScalePeriod::None;
    // The moving average and the redistribution over the whole record as
    // they always were; the held smoother comes before the redistribution.
    TCorrectionOptions first = correction;
    if (held) first.redistribute = false;
    TCorrectedInflow corrected = CorrectInflow(steps, computed, first);
    run.corrected = std::move(corrected.inflow);
    run.negativeVolume = corrected.negativeVolume;
    run.backwardStep = corrected.backwardStep;
    const bool more = held || byPeriod || inputs.gaugeResolution || inputs.withReference;
    const TRecordSeries series = more ? RecordSeries(steps, computed) : TRecordSeries{};
    if (!run.corrected.empty() && !run.backwardStep) {
        if (held) {
            run.held = HeldSmoothing(series, inputs, correction.smoothTolerance);
            run.corrected = std::move(run.held->inflow);
            run.held->inflow.clear();
            if (correction.redistribute) {
                TRedistribution r = RedistributeNegativeInflow(run.corrected, series.dt);
                run.negativeVolume = !r.done;
                run.corrected = std::move(r.inflow);
            }
        }
        if (byPeriod) {
            TPeriodRedistribution r = ScaleNegativeByPeriod(series.times, run.corrected, series.dt, ScaleRule(correction));
            run.corrected = std::move(r.inflow);
            run.periods = std::move(r.periods);
        }
    }
    if (inputs.gaugeResolution && series.times.size() >= 2) {
        if (inputs.curves.empty())
            run.noise = GaugeNoise(series.levels, series.inflow, series.dt, inputs.curve, inputs.area,
                                   *inputs.gaugeResolution, inputs.storageFactor);
        else
            run.noise = GaugeNoise(series.levels, series.inflow, series.dt, inputs.curves,
                                   inputs.curveOf.first(series.levels.size()), *inputs.gaugeResolution,
                                   inputs.storageFactor);
    }
    if (inputs.withReference)
        run.comparison = CompareInflow(series.times, series.inflow, series.dt, inputs.referenceTimes, inputs.reference);
    if (withSummary) {
        try {
            // Without a correction the summary is what it always was, with no
            // corrected items at all.
            run.summary = correction.Any() ? SummarizeFlood(steps, computed, run.corrected)
                                           : SummarizeFlood(steps, computed);
            TFloodSummary& s = *run.summary;
            if (run.held) {
                s.heldDeparture = TFloodSummary::THeldDeparture{run.held->rmsDeparture, run.held->largestDeparture,
                                                                steps[run.held->largestAt].T, run.held->solves};
            }
            if (run.noise)
                s.noise = TFloodSummary::TNoise{run.noise->medianSigma, run.noise->withinNoise, run.noise->beyondNoise};
            if (run.comparison) s.comparison = *run.comparison;
            s.skippedRecords = inputs.skippedRecords;
            s.repairedRecords = inputs.repairedRecords;
        } catch (const std::exception&) {
            run.summaryError = std::current_exception();
        }
    }
    return run;
}
