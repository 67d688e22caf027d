#pragma once
// Units cannot be told from the numbers, but some numbers cannot be in the
// units the program assumes: a flow beyond any river's, a lake a kilometre
// deep. These say so once, naming --units; a curve row far beyond the
// table's usual storage step says it looks like a sentinel.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// More than any river has carried (m^3/s), and more than any lake's range of
// levels (m).
inline constexpr double kMostPlausibleFlow = 300000.0;
inline constexpr double kMostPlausibleLevelRange = 1000.0;

// Gathers the record's values in the program's units (levels in m, flows in
// m^3/s: outflows, losses and computed inflows alike) and tells once whether
// they look like other units.
class TUnitPlausibility {
  public:
    void Level(double m);
    void Flow(double m3s);
    // The one message, or none: "the values look like other units than
    // --units gives (...): ...; give the files' units with --units, as
    // --units level=ft,storage=af,flow=cfs".
    std::optional<std::string> Message() const;

  private:
    bool anyLevel_ = false;
    double lowest_ = 0, highest_ = 0;
    double largestFlow_ = 0; // by magnitude, with its sign
};

// A curve row whose storage step (from the row before) is over this many
// times the median step.
inline constexpr double kStorageStepFactor = 100.0;

struct TStorageStepOutlier {
    std::size_t point; // the row's index in the curve, from 0 (>= 1)
    double step;       // its storage minus the row before's
    double median;     // the median of the table's step magnitudes
};

// The rows of a curve whose step exceeds kStorageStepFactor times the median
// of all steps' magnitudes (for an even count of steps, the lower of the two
// middle ones); none when that median is 0. Storages in any one unit.
std::vector<TStorageStepOutlier> StorageStepOutliers(const std::vector<double>& storages);

// "storage step X is over 100 times the table's median step Y: a sentinel
// row rather than a survey value?" (the caller puts "FILE:LINE: " before it).
std::string StorageStepWarning(const TStorageStepOutlier& outlier);
