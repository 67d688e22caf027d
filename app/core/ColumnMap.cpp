#include "ColumnMap.h"

#include "Arithmetic.h"
#include "OptionText.h"
#include "RecordLine.h"

#include <algorithm>

namespace {

struct TQuantityRule {
    TRecordQuantity quantity;
    bool required;
    bool repeatable;
};

constexpr TQuantityRule kFloodRules[] = {
    {TRecordQuantity::Time, true, false},
    {TRecordQuantity::Level, true, false},
    {TRecordQuantity::Outflow, true, false},
    {TRecordQuantity::Loss, false, true},
};
constexpr TQuantityRule kCurveRules[] = {
    {TRecordQuantity::Level, true, false},
    {TRecordQuantity::Storage, true, false},
    {TRecordQuantity::Area, false, false},
};
constexpr TQuantityRule kCompareRules[] = {
    {TRecordQuantity::Time, true, false},
    {TRecordQuantity::Value, true, false},
};

// "a, b or c" / "a, b and c".
template <std::size_t N>
std::string NameList(const TQuantityRule (&rules)[N], bool requiredOnly, const char* lastJoin) {
    std::vector<const char*> names;
    for (const TQuantityRule& r : rules)
        if (!requiredOnly || r.required) names.push_back(QuantityName(r.quantity));
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? lastJoin : ", ";
        text += names[i];
    }
    return text;
}

// A text of digits, signs and points only, with a digit: meant as a number.
bool LooksLikeNumber(std::string_view text) {
    bool digit = false;
    for (const char c : text) {
        if (IsDigit(c))
            digit = true;
        else if (c != '+' && c != '-' && c != '.')
            return false;
    }
    return digit;
}

std::string ColumnText(const TColumnRef& c) {
    return c.number > 0 ? "field " + std::to_string(c.number) : "heading " + Quoted(c.heading);
}

template <std::size_t N>
TColumnOption ParseColumns(std::string_view option, std::string_view text,
                           const TQuantityRule (&rules)[N]) {
    TColumnOption columns;
    columns.name = option;
    if (TrimText(text).empty()) RefuseOption(option, "no columns given");
    for (const std::string_view item : SplitOptionList(text)) {
        if (item.empty()) RefuseOption(option, "empty item in " + Quoted(text));
        std::string_view name, col;
        if (!SplitOptionItem(item, name, col))
            RefuseOption(option, Quoted(item) + " is not QUANTITY=COLUMN");
        const TQuantityRule* rule = nullptr;
        for (const TQuantityRule& r : rules)
            if (SameIgnoringCase(name, QuantityName(r.quantity))) rule = &r;
        if (!rule)
            RefuseOption(option, "unknown quantity " + Quoted(name) + " (" +
                                     NameList(rules, false, " or ") + ")");
        const char* quantity = QuantityName(rule->quantity);
        TColumnChoice choice{rule->quantity, {}};
        const std::string_view heading = HeadingName(col);
        if (heading.empty()) RefuseOption(option, std::string("no column given for ") + quantity);
        if (LooksLikeNumber(heading)) {
            choice.column.number = SmallNumber(heading);
            if (choice.column.number < 1)
                RefuseOption(option, "bad field number " + Quoted(heading) + " for " + quantity +
                                         " (fields count from 1)");
        } else {
            choice.column.heading = heading;
        }
        for (const TColumnChoice& earlier : columns.choices) {
            if (earlier.quantity == rule->quantity && !rule->repeatable)
                RefuseOption(option, std::string(quantity) + " given twice");
            const bool same =
                choice.column.number > 0
                    ? earlier.column.number == choice.column.number
                    : earlier.column.number == 0 &&
                          SameIgnoringCase(earlier.column.heading, choice.column.heading);
            if (same)
                RefuseOption(option, std::string(QuantityName(earlier.quantity)) + " and " +
                                         quantity + " both name " + ColumnText(choice.column));
        }
        columns.choices.push_back(std::move(choice));
    }
    for (const TQuantityRule& r : rules) {
        if (!r.required) continue;
        const bool given =
            std::any_of(columns.choices.begin(), columns.choices.end(),
                        [&](const TColumnChoice& c) { return c.quantity == r.quantity; });
        if (!given)
            RefuseOption(option, std::string("no column for ") + QuantityName(r.quantity) + " (" +
                                     NameList(rules, true, " and ") + " are needed)");
    }
    return columns;
}

std::string HeadingList(const std::vector<std::string_view>& headings) {
    std::string text;
    for (const std::string_view h : headings) {
        if (h.empty()) continue;
        if (!text.empty()) text += ", ";
        text += Quoted(h);
    }
    return text.empty() ? "its heading line names no column" : "its headings: " + text;
}

std::size_t IndexOf(const TColumnOption& columns, const std::vector<std::size_t>& fields,
                    TRecordQuantity q) {
    for (std::size_t i = 0; i < columns.choices.size(); ++i)
        if (columns.choices[i].quantity == q) return fields[i];
    RefuseOption(columns.name, std::string("no column for ") + QuantityName(q));
}

} // namespace

const char* QuantityName(TRecordQuantity quantity) {
    switch (quantity) {
    case TRecordQuantity::Time:
        return "time";
    case TRecordQuantity::Level:
        return "level";
    case TRecordQuantity::Outflow:
        return "outflow";
    case TRecordQuantity::Loss:
        return "loss";
    case TRecordQuantity::Storage:
        return "storage";
    case TRecordQuantity::Area:
        return "area";
    case TRecordQuantity::Value:
        return "value";
    }
    return "?";
}

bool TColumnOption::NamesHeadings() const {
    return std::any_of(choices.begin(), choices.end(),
                       [](const TColumnChoice& c) { return c.column.number == 0; });
}

TColumnOption ParseFloodColumns(std::string_view text) {
    return ParseColumns("--columns", text, kFloodRules);
}

TColumnOption ParseCurveColumns(std::string_view text) {
    return ParseColumns("--curve-columns", text, kCurveRules);
}

TColumnOption ParseCompareColumns(std::string_view text) {
    return ParseColumns("--compare-columns", text, kCompareRules);
}

std::size_t HeadingsFound(const TColumnOption& columns, std::string_view line) {
    const std::vector<std::string_view> headings = HeadingNames(line);
    std::size_t found = 0;
    for (const TColumnChoice& choice : columns.choices)
        if (choice.column.number == 0 &&
            std::any_of(headings.begin(), headings.end(),
                        [&](std::string_view h) { return SameIgnoringCase(h, choice.column.heading); }))
            ++found;
    return found;
}

std::vector<std::size_t> ResolveColumns(const TColumnOption& columns, std::string_view headingLine,
                                        std::string_view fileName) {
    const std::vector<std::string_view> headings = HeadingNames(headingLine);
    const std::string file(fileName);
    std::vector<std::size_t> fields;
    fields.reserve(columns.choices.size());
    for (const TColumnChoice& choice : columns.choices) {
        std::size_t field = 0;
        if (choice.column.number > 0) {
            field = static_cast<std::size_t>(choice.column.number - 1);
        } else {
            std::vector<std::size_t> found;
            for (std::size_t k = 0; k < headings.size(); ++k)
                if (SameIgnoringCase(headings[k], choice.column.heading)) found.push_back(k);
            if (found.empty())
                RefuseOption(columns.name, "no heading " + Quoted(choice.column.heading) + " in " +
                                               file + "; " + HeadingList(headings));
            if (found.size() > 1)
                RefuseOption(columns.name, "heading " + Quoted(choice.column.heading) +
                                               " names fields " + std::to_string(found[0] + 1) +
                                               " and " + std::to_string(found[1] + 1) + " of " +
                                               file + "; give its field number");
            field = found[0];
        }
        for (std::size_t i = 0; i < fields.size(); ++i)
            if (fields[i] == field)
                RefuseOption(columns.name, std::string(QuantityName(columns.choices[i].quantity)) +
                                               " and " + QuantityName(choice.quantity) +
                                               " both name field " + std::to_string(field + 1) +
                                               " of " + file);
        fields.push_back(field);
    }
    return fields;
}

std::size_t TFloodFields::FieldsNeeded() const {
    std::size_t top = std::max({time, level, outflow});
    for (const std::size_t f : losses)
        top = std::max(top, f);
    return top + 1;
}

TFloodFields ResolveFloodColumns(const TColumnOption& columns, std::string_view headingLine,
                                 std::string_view fileName) {
    const std::vector<std::size_t> fields = ResolveColumns(columns, headingLine, fileName);
    TFloodFields out;
    out.time = IndexOf(columns, fields, TRecordQuantity::Time);
    out.level = IndexOf(columns, fields, TRecordQuantity::Level);
    out.outflow = IndexOf(columns, fields, TRecordQuantity::Outflow);
    for (std::size_t i = 0; i < columns.choices.size(); ++i)
        if (columns.choices[i].quantity == TRecordQuantity::Loss) out.losses.push_back(fields[i]);
    return out;
}

std::size_t TCurveFields::FieldsNeeded() const {
    return std::max({level, storage, area.value_or(0)}) + 1;
}

TCurveFields ResolveCurveColumns(const TColumnOption& columns, std::string_view headingLine,
                                 std::string_view fileName) {
    const std::vector<std::size_t> fields = ResolveColumns(columns, headingLine, fileName);
    TCurveFields out;
    out.level = IndexOf(columns, fields, TRecordQuantity::Level);
    out.storage = IndexOf(columns, fields, TRecordQuantity::Storage);
    for (std::size_t i = 0; i < columns.choices.size(); ++i)
        if (columns.choices[i].quantity == TRecordQuantity::Area) out.area = fields[i];
    return out;
}
