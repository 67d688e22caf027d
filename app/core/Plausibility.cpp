#include "Plausibility.h"

#include "Currency.h"

#include <algorithm>
#include <cmath>

void TUnitPlausibility::Level(double m) {
    if (!std::isfinite(m)) return;
    if (!anyLevel_) {
        lowest_ = highest_ = m;
        anyLevel_ = true;
        return;
    }
    lowest_ = std::min(lowest_, m);
    highest_ = std::max(highest_, m);
}

void TUnitPlausibility::Flow(double m3s) {
    if (std::isfinite(m3s) && std::fabs(m3s) > std::fabs(largestFlow_)) largestFlow_ = m3s;
}

std::optional<std::string> TUnitPlausibility::Message() const {
    std::string what;
    if (std::fabs(largestFlow_) > kMostPlausibleFlow)
        what =
            "a flow of " + RealToText(largestFlow_) + " m^3/s is more than any river has carried";
    if (anyLevel_ && highest_ - lowest_ > kMostPlausibleLevelRange) {
        if (!what.empty()) what += "; ";
        what += "levels from " + RealToText(lowest_) + " to " + RealToText(highest_) +
                " m span more than 1000 m";
    }
    if (what.empty()) return std::nullopt;
    return "the values look like other units than the ones assumed (" + what +
           "); give the files' units with --units, as --units level=ft,storage=af,flow=cfs";
}

std::vector<TStorageStepOutlier> StorageStepOutliers(const std::vector<double>& storages) {
    std::vector<TStorageStepOutlier> outliers;
    if (storages.size() < 2) return outliers;
    std::vector<double> magnitudes;
    magnitudes.reserve(storages.size() - 1);
    for (std::size_t k = 1; k < storages.size(); ++k)
        magnitudes.push_back(std::fabs(storages[k] - storages[k - 1]));
    const auto middle =
        magnitudes.begin() + static_cast<std::ptrdiff_t>((magnitudes.size() - 1) / 2);
    std::nth_element(magnitudes.begin(), middle, magnitudes.end());
    const double median = *middle;
    if (!(median > 0)) return outliers;
    for (std::size_t k = 1; k < storages.size(); ++k) {
        const double step = storages[k] - storages[k - 1];
        if (std::fabs(step) > kStorageStepFactor * median) outliers.push_back({k, step, median});
    }
    return outliers;
}

std::string StorageStepWarning(const TStorageStepOutlier& outlier) {
    return "storage step " + RealToText(outlier.step) +
           " is over 100 times the table's median step " + RealToText(outlier.median) +
           ": a sentinel row rather than a survey value?";
}
