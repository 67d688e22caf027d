#pragma once
// The water balance's and the correction's options as every front end reads
// them: batch mode from its command line, the window from its start
// (quelmora --window ... --smooth 3), a script from keyword arguments. One
// reading, one set of reasons for a refusal.

#include "BalanceOptions.h"

#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

struct TMethodChoices {
    TBalanceOptions balance;
    TCorrectionOptions correction;
};

// --outflow, --bank-storage, --losses, --smooth, --negative.
bool IsMethodOption(std::string_view name);

// One of those with its value into `choices`; a bad value throws
// std::invalid_argument with the reason batch mode gives
// ("--outflow is mean or end, not 'x'").
void ReadMethodOption(std::string_view name, const std::string& value, TMethodChoices& choices);

// The options as (name, value) pairs, read in batch mode's order (so that the
// first refusal is the one batch mode gives); an option given twice, one that
// is not a method option, an empty value or a bad one throws
// std::invalid_argument. Scaling by period (--negative scale:...) is refused:
// a front end without the periods' controls would drop it.
TMethodChoices ReadMethodChoices(const std::vector<std::pair<std::string, std::string>>& given);

// An option's whole argument as a number, the same under every locale (no
// sign but '-', no blanks, nothing after it); none when it is not one.
template <typename T>
std::optional<T> WholeNumber(const std::string& text) {
    T value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end) return std::nullopt;
    return value;
}
