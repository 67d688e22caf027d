#include "RecordReader.h"

#include "Currency.h"
#include "Exceptions.h"
#include "RecordFields.h"

#include <string>

void RaiseMissingField(std::size_t fields) {
    throw EStringListError("List index out of bounds (" + std::to_string(fields) + ")");
}

namespace {

// A field as a number in the program's unit. In the program's own unit the
// value is DecimalToReal's, bit for bit.
inline double ReadIn(std::string_view text, TUnitFactor factor) {
    return FromUnit(DecimalFromText(text), factor);
}

// Reads one field, keeping its fault instead of raising it.
template <class F>
bool Field(TFieldFaults& faults, TRecordQuantity quantity, F&& read) {
    try {
        read();
        return true;
    } catch (const Exception&) {
        faults.push_back({quantity, std::current_exception()});
        return false;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Curves

TCurveReader::TCurveReader(const TRecordFormat& format) : columns_(format.columns), units_(format.units) {}

void TCurveReader::Heading(std::string_view headingLine, std::string_view fileName) {
    if (columns_) fields_ = ResolveCurveColumns(*columns_, headingLine, fileName);
}

bool TCurveReader::Read(const std::vector<std::string_view>& fields, TCurvePoint& point, TFieldFaults& faults) const {
    const bool level = Field(faults, TRecordQuantity::Level, [&] { point.Z = ReadIn(fields[fields_.level], UnitFactor(units_.level)); });
    const bool storage = Field(faults, TRecordQuantity::Storage, [&] { point.V = ReadIn(fields[fields_.storage], UnitFactor(units_.storage)); });
    return level && storage;
}

bool TCurveReader::ReadArea(const std::vector<std::string_view>& fields, double& area, TFieldFaults& faults) const {
    return Field(faults, TRecordQuantity::Area, [&] { area = ReadIn(fields[*fields_.area], UnitFactor(units_.area)); });
}

void TCurveReader::TableTexts(const std::vector<std::string_view>& fields, const TCurvePoint& point, bool read,
                              std::string (&texts)[2], int& count) const {
    const std::size_t index[2] = {fields_.level, fields_.storage};
    const bool own[2] = {units_.level == TLevelUnit::M, units_.storage == TStorageUnit::E8M3};
    const double value[2] = {point.Z, point.V};
    count = 0;
    for (int k = 0; k < 2; ++k) {
        if (index[k] >= fields.size()) continue;
        texts[k] = own[k] || !read ? std::string(fields[index[k]]) : RealToText(value[k]);
        count = k + 1;
    }
}

// ---------------------------------------------------------------------------
// Flood records

TFloodReader::TFloodReader(const TRecordFormat& format)
    : format_(format), plain_(format.IsDefault()), units_(format.units), mapped_(format.columns.has_value()), stamps_(format.stamps) {}

void TFloodReader::Heading(std::string_view headingLine, std::string_view fileName) {
    if (!format_.columns) return;
    fields_ = ResolveFloodColumns(*format_.columns, headingLine, fileName);
    // Losses are named in skip warnings as the option named them.
    lossNames_.clear();
    for (const TColumnChoice& choice : format_.columns->choices) {
        if (choice.quantity != TRecordQuantity::Loss) continue;
        lossNames_.push_back(choice.column.number ? "loss (field " + std::to_string(choice.column.number) + ")"
                                                  : "loss '" + choice.column.heading + "'");
    }
}

bool TFloodReader::IsMissing(std::string_view field) const {
    return format_.missingValues.IsMissing(field);
}

void TFloodReader::Read(const std::vector<std::string_view>& fields, TFloodLine& line, const DateTimeValue* timeCell) {
    line.Clear();
    TFloodStep& s = line.step;
    const std::string_view time = fields[fields_.time];
    const std::string_view level = fields[fields_.level];
    const std::string_view outflow = fields[fields_.outflow];
    line.stamped = Field(line.faults, TRecordQuantity::Time, [&] { s.T = timeCell ? *timeCell : stamps_.Read(time); });
    if (plain_) [[likely]] {
        line.levelRead = Field(line.faults, TRecordQuantity::Level, [&] { s.Z = DecimalToReal(DecimalFromText(level)); });
        line.outflowRead =
            Field(line.faults, TRecordQuantity::Outflow, [&] { s.Qout = DecimalToReal(DecimalFromText(outflow)); });
        return;
    }
    // A gap: skipped when asked, else a fault that says how to skip it.
    auto gap = [&](TRecordQuantity quantity, std::string_view what, std::string_view field) {
        if (!IsMissing(field)) return false;
        std::string reason = TMissingValues::Reason(what, field);
        if (format_.missing == TMissingMode::Skip) {
            if (line.skipped.empty()) line.skipped = std::move(reason);
        } else {
            line.faults.push_back(
                {quantity, std::make_exception_ptr(EConvertError(reason + " (--missing skip skips such records)"))});
        }
        return true;
    };
    // Blanks are gaps only where missing values were asked about at all;
    // otherwise a blank level fails as it always did.
    const bool gaps = format_.missing == TMissingMode::Skip || !format_.missingValues.Values().empty();
    if (!(gaps && gap(TRecordQuantity::Level, "level", level)))
        line.levelRead = Field(line.faults, TRecordQuantity::Level, [&] { s.Z = ReadIn(level, UnitFactor(units_.level)); });
    if (!(gaps && gap(TRecordQuantity::Outflow, "outflow", outflow)))
        line.outflowRead =
            Field(line.faults, TRecordQuantity::Outflow, [&] { s.Qout = ReadIn(outflow, UnitFactor(units_.flow)); });
    if (gaps)
        for (std::size_t k = 0; k < fields_.losses.size(); ++k)
            if (gap(TRecordQuantity::Loss, lossNames_[k], fields[fields_.losses[k]])) line.lossGap = true;
}

std::string_view TFloodReader::LossText(std::string_view text, const std::vector<std::string_view>& fields,
                                        std::string& scratch) const {
    if (fields_.losses.empty()) return mapped_ ? std::string_view() : TextAfterOutflow(text);
    scratch.clear();
    for (const std::size_t f : fields_.losses) {
        scratch += ',';
        scratch += fields[f];
    }
    return scratch;
}

int TFloodReader::TableTexts(const std::vector<std::string_view>& fields, const TFloodLine& line, bool read,
                             std::string_view (&texts)[3], std::string (&made)[2]) const {
    const std::size_t index[3] = {fields_.time, fields_.level, fields_.outflow};
    int count = 0;
    for (int k = 0; k < 3; ++k) {
        texts[k] = index[k] < fields.size() ? fields[index[k]] : std::string_view();
        if (count == k && index[k] < fields.size()) count = k + 1;
    }
    if (!read) return count;
    if (units_.level != TLevelUnit::M) texts[1] = made[0] = RealToText(line.step.Z);
    if (units_.flow != TFlowUnit::M3s) texts[2] = made[1] = RealToText(line.step.Qout);
    return count;
}
