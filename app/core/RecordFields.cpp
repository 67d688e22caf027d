#include "RecordFields.h"

std::string_view TextAfterOutflow(std::string_view line) {
    std::size_t comma = std::string_view::npos;
    for (int k = 0; k < kFirstLossField - 1; ++k) {
        comma = line.find(',', comma + 1);
        if (comma == std::string_view::npos) return {};
    }
    return line.substr(comma);
}

bool LossFieldText(std::string_view afterOutflow, int field, std::string_view& text) {
    if (field < kFirstLossField || afterOutflow.empty()) return false;
    // Past the comma that ends the outflow: the fourth field begins here.
    std::size_t start = 1;
    for (int k = kFirstLossField; k < field; ++k) {
        const std::size_t comma = afterOutflow.find(',', start);
        if (comma == std::string_view::npos) return false;
        start = comma + 1;
    }
    text = afterOutflow.substr(start, afterOutflow.find(',', start) - start);
    return true;
}
