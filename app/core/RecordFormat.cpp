#include "RecordFormat.h"

#include "OptionText.h"
#include "RecordLine.h"
#include "StringList.h"

#include <array>
#include <initializer_list>

bool TRecordFormat::IsDefault() const {
    return !columns && units.AllDefault() && stamps.IsDefault() && missing == TMissingMode::Stop &&
           missingValues.Values().empty();
}

namespace {

constexpr std::array kCurveOptions{std::string_view("--curve-columns"), std::string_view("--units")};
constexpr std::array kFloodOptions{std::string_view("--columns"),     std::string_view("--units"),
                                   std::string_view("--date-order"),  std::string_view("--time-format"),
                                   std::string_view("--utc-offset"),  std::string_view("--missing"),
                                   std::string_view("--missing-value")};

template <std::size_t N>
bool Holds(const std::array<std::string_view, N>& names, std::string_view name) {
    for (const std::string_view n : names)
        if (n == name) return true;
    return false;
}

}  // namespace

bool IsFormatOption(TFileKind kind, std::string_view name) {
    return kind == TFileKind::Curve ? Holds(kCurveOptions, name) : Holds(kFloodOptions, name);
}

TRecordFormat ReadRecordFormat(TFileKind kind, const TOptionPairs& given) {
    TRecordFormat format;
    std::vector<std::string_view> seen;
    bool utcOffsetGiven = false;
    for (const auto& [name, value] : given) {
        if (!IsFormatOption(kind, name))
            RefuseOption(name, kind == TFileKind::Curve ? "does not describe a curve file"
                                                        : "does not describe a flood record");
        if (name != "--missing-value") {
            for (const std::string_view s : seen)
                if (s == name) RefuseOption(name, "given twice");
            seen.push_back(name);
        }
        if (name == "--columns") format.columns = ParseFloodColumns(value);
        else if (name == "--curve-columns") format.columns = ParseCurveColumns(value);
        else if (name == "--units") format.units = ParseUnits(value);
        else if (name == "--date-order") format.stamps.dateOrder = ParseDateOrder(value);
        else if (name == "--time-format") format.stamps.timeFormat = ParseTimeFormat(value);
        else if (name == "--utc-offset") {
            format.stamps.utcOffsetMinutes = ParseUtcOffset(value);
            utcOffsetGiven = true;
        } else if (name == "--missing") format.missing = ParseMissingMode(value);
        else format.missingValues.Add(ParseMissingValue(value));
    }
    CheckStampOptions(format.stamps, utcOffsetGiven);
    return format;
}

std::string OptionCommandText(const TOptionPairs& options) {
    std::string text;
    for (const auto& [name, value] : options) {
        if (!text.empty()) text += ' ';
        text += name;
        text += ' ';
        const bool quote = value.empty() || value.find_first_of(" \t\"'") != std::string::npos;
        if (!quote) {
            text += value;
            continue;
        }
        text += '"';
        for (const char c : value) {
            if (c == '"' || c == '\\' || c == '$' || c == '`') text += '\\';
            text += c;
        }
        text += '"';
    }
    return text;
}

namespace {

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return lowered;
}

// Words that name a quantity in a heading, with how surely: "Total Release"
// names the outflow more surely than "Power Release" beside it.
struct TKeyword {
    std::string_view word;
    int weight;
};
constexpr TKeyword kTime[] = {{"date", 2}, {"time", 2}, {"时间", 2}, {"日期", 2}};
constexpr TKeyword kLevel[] = {{"elevation", 2}, {"elev", 2}, {"level", 2}, {"水位", 2}, {"stage", 1}};
constexpr TKeyword kOutflow[] = {{"total release", 3}, {"outflow", 3}, {"出库", 3}, {"出流", 3},
                                 {"release", 1},       {"discharge", 1}};
constexpr TKeyword kStorage[] = {{"live storage", 3}, {"capacity", 2}, {"storage", 2}, {"库容", 2},
                                 {"volume", 1}};
constexpr TKeyword kArea[] = {{"area", 2}, {"面积", 2}};
constexpr TKeyword kLoss[] = {{"evaporation", 2}, {"evap", 2}, {"蒸发", 2}, {"loss", 2}, {"损失", 2}};

template <std::size_t N>
int Weight(const std::string& heading, const TKeyword (&words)[N]) {
    int best = 0;
    for (const TKeyword& k : words)
        if (heading.find(k.word) != std::string::npos && k.weight > best) best = k.weight;
    return best;
}

// The field (from 1) whose heading names the quantity most surely; the first
// of equals; `fallback` when none does.
template <std::size_t N>
int Best(const std::vector<std::string>& headings, const TKeyword (&words)[N], int fallback) {
    int best = 0, field = fallback;
    for (std::size_t i = 0; i < headings.size(); ++i)
        if (const int w = Weight(headings[i], words); w > best) {
            best = w;
            field = static_cast<int>(i) + 1;
        }
    return field;
}

// Quantities no heading named (0) take their plain position, or, when a
// named one holds it (or an earlier one already fell back onto it), the
// lowest field no other holds. A named quantity that lost to an earlier one
// on the same heading is placed likewise.
void Place(std::initializer_list<int*> fields, std::initializer_list<int> plain) {
    std::vector<int*> all(fields);
    std::vector<int> positions(plain);
    auto taken = [&](int field, std::size_t except) {
        for (std::size_t j = 0; j < all.size(); ++j)
            if (j != except && *all[j] == field) return true;
        return false;
    };
    for (std::size_t i = 0; i < all.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (*all[i] != 0 && *all[j] == *all[i]) *all[i] = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (*all[i] != 0) continue;
        int field = positions[i];
        for (int next = 1; taken(field, i); ++next) field = next;
        *all[i] = field;
    }
}

// The unit a heading states, in parentheses or after the last '_' (as
// "Evaporation (af)", "inflow_cfs"); empty when it states none.
std::string StatedUnit(const std::string& heading) {
    const std::size_t open = heading.rfind('(');
    if (open != std::string::npos) {
        const std::size_t close = heading.find(')', open);
        return std::string(TrimText(std::string_view(heading).substr(
            open + 1, (close == std::string::npos ? heading.size() : close) - open - 1)));
    }
    const std::size_t underscore = heading.rfind('_');
    return underscore == std::string::npos ? std::string() : heading.substr(underscore + 1);
}

bool OneOf(const std::string& unit, std::initializer_list<std::string_view> spellings) {
    for (const std::string_view s : spellings)
        if (unit == s) return true;
    return false;
}

}  // namespace

TFormatGuess GuessFormat(TFileKind kind, std::string_view headingLine) {
    std::vector<std::string> headings;
    for (const std::string_view h : HeadingNames(WithoutByteOrderMark(headingLine)))
        headings.push_back(Lowered(h));
    TFormatGuess guess;
    auto unitOf = [&](int field) { return field >= 1 && static_cast<std::size_t>(field) <= headings.size()
                                              ? StatedUnit(headings[field - 1]) : std::string(); };
    if (kind == TFileKind::Curve) {
        guess.level = Best(headings, kLevel, 0);
        guess.storage = Best(headings, kStorage, 0);
        Place({&guess.level, &guess.storage}, {1, 2});
        guess.area = Best(headings, kArea, 0);
        if (guess.area == guess.level || guess.area == guess.storage) guess.area = 0;
        const std::string storage = unitOf(guess.storage);
        if (OneOf(storage, {"af", "ac-ft", "acre-ft", "acre-feet", "acre feet"})) guess.units.storage = TStorageUnit::Af;
        else if (OneOf(storage, {"kaf"})) guess.units.storage = TStorageUnit::Kaf;
        else if (OneOf(storage, {"maf"})) guess.units.storage = TStorageUnit::Maf;
        else if (OneOf(storage, {"m3", "m³", "立方米"})) guess.units.storage = TStorageUnit::M3;
        else if (OneOf(storage, {"1e6m3", "10^6m3", "10^6 m3", "百万立方米"})) guess.units.storage = TStorageUnit::E6M3;
    } else {
        guess.time = Best(headings, kTime, 0);
        guess.level = Best(headings, kLevel, 0);
        guess.outflow = Best(headings, kOutflow, 0);
        Place({&guess.time, &guess.level, &guess.outflow}, {1, 2, 3});
        for (std::size_t i = 0; i < headings.size(); ++i) {
            const int field = static_cast<int>(i) + 1;
            if (field != guess.time && field != guess.level && field != guess.outflow &&
                Weight(headings[i], kLoss) > 0)
                guess.losses.push_back(field);
        }
        const std::string flow = unitOf(guess.outflow);
        if (OneOf(flow, {"cfs", "ft3/s", "ft^3/s"})) guess.units.flow = TFlowUnit::Cfs;
        if (!guess.losses.empty()) {
            const std::string loss = unitOf(guess.losses.front());
            if (OneOf(loss, {"cfs", "ft3/s"})) guess.units.loss = TLossUnit::Cfs;
            else if (OneOf(loss, {"af", "ac-ft", "acre-ft", "acre-feet"})) guess.units.loss = TLossUnit::Af;
            else if (OneOf(loss, {"m3", "m³"})) guess.units.loss = TLossUnit::M3;
        }
    }
    if (OneOf(unitOf(guess.level), {"ft", "feet", "foot"})) guess.units.level = TLevelUnit::Ft;
    return guess;
}
