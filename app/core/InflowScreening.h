#pragma once
// Bad level readings found and mended before the balance is taken.
//
// One wrong reading of the level in a daily record makes two wrong inflows of
// opposite sign, hundreds of m^3/s each: on Lake Powell the reading of
// 1985-08-02 lies 0.3 m below both neighbours and turns 500 m^3/s into -1789
// and +2770. Such a reading stands out from its neighbours' median while a
// flood's rise or fall does not, so each level is compared with the median
// of the five records around it.

#include "DateTime.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// What is known of a record's level; travels with the record into the tables.
enum class TRecordFlag : std::uint8_t {
    None,       // read and used as read
    Spike,      // departs from its neighbours' median by more than the tolerance
    Repaired,   // a spike or a skipped record whose level was interpolated
    Skipped,    // the record had no usable level (a gap in the file)
};

// "", "spike", "repaired", "skipped": the flag column's texts.
std::string_view FlagName(TRecordFlag flag);

struct TSpike {
    std::size_t record = 0;
    double median = 0.0;   // the window's median; the departure is level - median
};

struct TSpikeScreening {
    std::vector<TRecordFlag> flags;   // one per record
    std::vector<TSpike> spikes;       // the records flagged, in order
};

// Flags a level that departs from the median of its window by more than
// `tolerance` (level units, > 0): |level - median| > tolerance.
//
// The window is the five usable records centred on the record: the two
// before and the two after. Records flagged Skipped in `given` (which may be
// empty: none) and levels that are not numbers are not usable: they are
// neither judged nor part of any window, so the window reaches past them to
// the next usable records. Near the ends the window is shifted inwards so
// that it still holds five records (the first five for the first two records,
// the last five for the last two): a median of five then outvotes two bad
// readings at the ends as in the middle, which a window cut short (three
// records at the first) cannot. The price is that at the ends a steady rise
// or fall departs from the median by up to twice its change over one step,
// where in the middle it departs by nothing; a tolerance below that flags the
// ends of a steep flood. A record of fewer than five usable levels takes all of
// them as its window; the median of an even count is the mean of the middle
// two. With fewer than three usable levels nothing is flagged: there is no
// majority to judge by.
//
// Flags of `given` other than None are kept; the others are None or Spike.
// Raises std::invalid_argument for a tolerance that is not positive or a
// `given` of another length.
TSpikeScreening ScreenSpikes(std::span<const double> levels, double tolerance,
                             std::span<const TRecordFlag> given = {});

struct TLevelRepair {
    std::vector<double> levels;       // the levels with the flagged ones replaced
    std::vector<TRecordFlag> flags;   // Spike and Skipped became Repaired
    std::size_t repaired = 0;
    // False when no record has a level to interpolate from (every one is
    // flagged): the levels and flags are returned unchanged.
    bool done = true;
};

// Replaces each level flagged Spike or Skipped by linear interpolation in time
// between the nearest records before and after it that are flagged None or
// Repaired (already repaired levels are trusted, the new ones are not):
//     z = za + (zb - za) * (t - ta) / (tb - ta),
// in extended precision. A flagged record before the first good one or after
// the last takes that good record's level (no slope is known there to
// extrapolate by). Two good records at the same time give the first one's
// level. The levels are not rounded: a caller that keeps levels as table texts
// rounds them to its four decimals.
TLevelRepair RepairLevels(std::span<const DateTimeValue> times, std::span<const double> levels,
                          std::span<const TRecordFlag> flags);
