#include "RecordFields.h"

#include "RecordLine.h"

namespace {

// Fields of one line at a time: the capacity is kept from call to call.
std::vector<std::string_view>& Scratch() {
    thread_local std::vector<std::string_view> fields;
    return fields;
}

}  // namespace

std::string_view TextAfterOutflow(std::string_view line) {
    std::vector<std::string_view>& fields = Scratch();
    SplitFields(line, fields);
    if (fields.size() < kFirstLossField) return {};
    // From the comma that ends the outflow.
    return line.substr(static_cast<std::size_t>(fields[kFirstLossField - 1].data() - line.data()) - 1);
}

bool LossFieldText(std::string_view afterOutflow, int field, std::string_view& text) {
    if (field < kFirstLossField || afterOutflow.empty()) return false;
    // The text begins with the comma after the outflow: its first field is
    // empty, and field 4 is the second.
    std::vector<std::string_view>& fields = Scratch();
    SplitFields(afterOutflow, fields);
    const auto k = static_cast<std::size_t>(field - kFirstLossField + 1);
    if (k >= fields.size()) return false;
    text = fields[k];
    return true;
}
