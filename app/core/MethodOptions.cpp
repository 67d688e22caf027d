#include "MethodOptions.h"

#include "RecordLine.h"   // SplitFields

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <system_error>

namespace {

constexpr std::array<std::string_view, 5> kMethodOptions = {"--outflow", "--bank-storage", "--losses", "--smooth",
                                                            "--negative"};

[[noreturn]] void Refuse(const std::string& reason) { throw std::invalid_argument(reason); }

} // namespace

bool IsMethodOption(std::string_view name) {
    return std::find(kMethodOptions.begin(), kMethodOptions.end(), name) != kMethodOptions.end();
}

void ReadMethodOption(std::string_view name, const std::string& value, TMethodChoices& choices) {
    TBalanceOptions& balance = choices.balance;
    TCorrectionOptions& correction = choices.correction;
    if (name == "--outflow") {
        if (value == "end")
            balance.outflow = TBalanceOptions::TOutflow::End;
        else if (value != "mean")
            Refuse("--outflow is mean or end, not '" + value + "'");
    } else if (name == "--bank-storage") {
        const auto k = WholeNumber<double>(value);
        if (!k || !std::isfinite(*k) || *k < 0) Refuse("--bank-storage needs a number K >= 0, not '" + value + "'");
        balance.bankStorage = *k;
    } else if (name == "--losses") {
        std::vector<std::string_view> pieces;
        SplitFields(value, pieces);
        for (const std::string_view piece : pieces) {
            const auto field = WholeNumber<int>(std::string(piece));
            if (!field || *field < 4) Refuse("--losses needs field numbers of 4 or more, as 4,5; not '" + value + "'");
            // Counted twice, a loss would be taken twice.
            std::vector<int>& fields = balance.lossFields;
            if (std::find(fields.begin(), fields.end(), *field) != fields.end())
                Refuse("--losses names field " + std::to_string(*field) + " twice: '" + value + "'");
            fields.push_back(*field);
        }
    } else if (name == "--smooth") {
        const auto n = WholeNumber<int>(value);
        if (!n || *n < 3 || *n % 2 == 0) Refuse("--smooth needs an odd number of steps, 3 or more, not '" + value + "'");
        correction.smooth = *n;
    } else if (name == "--negative") {
        using P = TCorrectionOptions::TScalePeriod;
        if (value == "redistribute") correction.redistribute = true;
        else if (value == "scale:water-year") correction.scaleBy = P::WaterYear;
        else if (value == "scale:year") correction.scaleBy = P::Year;
        else if (value == "scale:month") correction.scaleBy = P::Month;
        else Refuse("--negative takes redistribute, scale:water-year, scale:year or scale:month, not '" + value + "'");
    } else {
        Refuse("unknown argument '" + std::string(name) + "'");
    }
}

TMethodChoices ReadMethodChoices(const std::vector<std::pair<std::string, std::string>>& given) {
    std::array<const std::string*, kMethodOptions.size()> values{};
    for (const auto& [name, value] : given) {
        const auto at = std::find(kMethodOptions.begin(), kMethodOptions.end(), name);
        if (at == kMethodOptions.end()) Refuse("unknown argument '" + name + "'");
        const std::string*& slot = values[static_cast<std::size_t>(at - kMethodOptions.begin())];
        if (slot) Refuse(name + " given twice");
        if (value.empty()) Refuse(name + " needs a value");
        slot = &value;
    }
    TMethodChoices choices;
    for (std::size_t k = 0; k < kMethodOptions.size(); ++k)
        if (values[k]) ReadMethodOption(kMethodOptions[k], *values[k], choices);
    if (choices.correction.scaleBy != TCorrectionOptions::TScalePeriod::None)
        Refuse("--negative " + *values[4] + " is for the batch mode");
    return choices;
}
