#include "FloodRun.h"

#include "InflowCorrection.h"

TFloodRun RunFlood(std::span<const TFloodStep> steps, std::size_t computed, const TCorrectionOptions& correction,
                   bool withSummary) {
    TFloodRun run;
    TCorrectedInflow corrected = CorrectInflow(steps, computed, correction);
    run.corrected = std::move(corrected.inflow);
    run.negativeVolume = corrected.negativeVolume;
    run.backwardStep = corrected.backwardStep;
    if (withSummary) {
        try {
            // Without a correction the summary is what it always was, with no
            // corrected items at all.
            run.summary = correction.Any() ? SummarizeFlood(steps, computed, run.corrected)
                                           : SummarizeFlood(steps, computed);
        } catch (const std::exception&) {
            run.summaryError = std::current_exception();
        }
    }
    return run;
}
