#pragma once
// The choices a hydrologist makes about the water balance and the corrected
// inflow. Every default is the plain balance: the mean of the two recorded
// outflows, no bank storage, no losses, and no corrected series.

#include <vector>

struct TBalanceOptions {
    // The outflow over a step: the mean of the records at its two ends, or
    // the outflow recorded at its end (agencies that record a day's release
    // against the day).
    enum class TOutflow { Mean, End };
    TOutflow outflow = TOutflow::Mean;
    // K >= 0: the storage term becomes (1 + K) · dV · 10^8 / dt, the water
    // held in the banks as the lake rises.
    double bankStorage = 0.0;
    // Further fields of the flood record (4 = the fourth, after the outflow),
    // flows in m^3/s such as evaporation or diversions, added to the outflow
    // term and taken as mean or end like the outflow.
    std::vector<int> lossFields;

    bool IsPlain() const { return outflow == TOutflow::Mean && bankStorage == 0.0 && lossFields.empty(); }
    friend bool operator==(const TBalanceOptions&, const TBalanceOptions&) = default;
};

struct TCorrectionOptions {
    // A centred moving average over this many steps (odd, >= 3); 0 for none.
    int smooth = 0;
    // Negative inflows set to 0 and their water taken from the following
    // steps (after the smoothing, when both are chosen).
    bool redistribute = false;
    // The smoothest series whose implied levels stay within this RMS of the
    // recorded ones (m); 0 for none. Not with a moving average.
    double smoothTolerance = 0.0;
    // Negative inflows set to 0 within each calendar period and the period's
    // positive ones scaled to keep its volume (after the smoothing); not with
    // redistribute. waterYearStart is the month a water year begins with.
    enum class TScalePeriod { None, Year, WaterYear, Month };
    TScalePeriod scaleBy = TScalePeriod::None;
    int waterYearStart = 10;

    bool Any() const { return smooth != 0 || redistribute || smoothTolerance > 0 || scaleBy != TScalePeriod::None; }
    // The one rule for a smoothing window, wherever it is chosen: an odd
    // number of steps, 3 or more (a centred window has as many steps on
    // either side).
    static bool SmoothWindowAllowed(long long steps) { return steps >= 3 && steps % 2 == 1; }
    friend bool operator==(const TCorrectionOptions&, const TCorrectionOptions&) = default;
};
