#pragma once
// A reference inflow to compare with: an agency's published series, another
// tool's result. A CSV file of a heading line, then "time,value" lines (m^3/s,
// '.' decimals), or the fields --compare-columns names, in the flow unit and
// with the time stamps the flood record is read with.

#include "ColumnMap.h"
#include "FloodStamp.h"
#include "RecordUnits.h"

#include <optional>
#include <string>
#include <vector>

struct TReferenceSeries {
    std::vector<DateTimeValue> times;
    std::vector<double> values;    // m^3/s; NaN where the file has a blank
    std::size_t notes = 0;         // lines at the end whose time is no stamp, ignored
};

// A blank value is missing (NaN). A line whose time is no stamp is refused,
// except a block of them at the file's end when columns are named (an
// agency's notes); a value that is no number is refused. Every refusal is an
// Exception naming "--compare", the file and the line.
TReferenceSeries ReadReferenceSeries(const std::string& fileName, const std::optional<TColumnOption>& columns,
                                     TFlowUnit unit, const TStampOptions& stamps);
