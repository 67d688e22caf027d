#include "ReferenceSeries.h"

#include "Exceptions.h"
#include "LineFile.h"
#include "LineSource.h"
#include "RecordLine.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    return text;
}

[[noreturn]] void Refuse(const std::string& file, std::int64_t line, const std::string& what) {
    throw Exception("--compare " + file + ":" + std::to_string(line) + ": " + what);
}

}  // namespace

TReferenceSeries ReadReferenceSeries(const std::string& fileName, const std::optional<TColumnOption>& columns,
                                     TFlowUnit unit, const TStampOptions& stamps) {
    std::unique_ptr<TLineSource> source;
    try {
        source = OpenLineSource(fileName);
    } catch (const std::exception& e) {
        throw Exception("--compare " + fileName + ": " + e.what());
    }
    TLineSource& file = *source;
    std::string line;
    ReadHeadingLine(file, columns, fileName, line);
    std::size_t timeField = 0, valueField = 1;
    if (columns) {
        const std::vector<std::size_t> fields = ResolveColumns(*columns, line, fileName);
        for (std::size_t i = 0; i < fields.size(); ++i)
            (columns->choices[i].quantity == TRecordQuantity::Time ? timeField : valueField) = fields[i];
    }
    const TUnitFactor factor = UnitFactor(unit);
    TFloodStampReader stampReader(stamps);
    TReferenceSeries series;
    std::vector<std::string_view> fields;
    std::int64_t number = 0;
    // The first line of a run whose time is no stamp: notes if nothing follows.
    std::int64_t unstamped = 0;
    std::string unstampedText;
    while (!file.AtEnd()) {
        file.ReadLine(line);
        number = file.LineNumber();
        SplitFields(line, fields);
        DateTimeValue time = 0.0;
        const bool stamped = file.FieldStamp(timeField, time) ||
                             (timeField < fields.size() && stampReader.TryRead(Trimmed(fields[timeField]), time));
        if (!stamped) {
            if (!columns) Refuse(fileName, number, "'" + line + "' has no time stamp in its first field");
            if (!unstamped) {
                unstamped = number;
                unstampedText = line;
            }
            ++series.notes;
            continue;
        }
        if (unstamped) Refuse(fileName, unstamped, "'" + unstampedText + "' has no time stamp");
        if (valueField >= fields.size()) Refuse(fileName, number, "no value field");
        const std::string_view text = Trimmed(fields[valueField]);
        double value = std::numeric_limits<double>::quiet_NaN();
        if (!text.empty()) {
            const char* end = text.data() + text.size();
            const auto [stop, error] = std::from_chars(text.data(), end, value);
            if (error != std::errc() || stop != end || !std::isfinite(value))
                Refuse(fileName, number, "'" + std::string(text) + "' is no number");
            value = static_cast<double>(static_cast<long double>(value) * factor.num / factor.den);
        }
        series.times.push_back(time);
        series.values.push_back(value);
    }
    return series;
}
