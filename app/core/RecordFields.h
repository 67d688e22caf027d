#pragma once
// The fields of a flood record line after its outflow (4 = the fourth), read
// the same way by the computation and by the record check: the trimmed line
// cut at every comma, each piece taken as it stands.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The first field after the outflow.
inline constexpr int kFirstLossField = 4;

// A trimmed record line's text from its third comma on: "" when the line has
// no fourth field, "," when that field is empty.
std::string_view TextAfterOutflow(std::string_view line);

// The text of field `field` (4 or more) in a text as TextAfterOutflow gives
// it; false when the line has no such field.
bool LossFieldText(std::string_view afterOutflow, int field, std::string_view& text);

// Field texts of fields 4 onward, one text per record, kept for a long record
// at the cost of a few bytes per record that has any (and of nothing until the
// first such record): one buffer and each record's end offset in it.
class TRecordFieldTexts {
public:
    // Record `record` keeps `afterOutflow`; records are added in ascending
    // order, each once.
    void Add(std::size_t record, std::string_view afterOutflow) {
        if (afterOutflow.empty()) return;
        // The records before, without a text of their own, end where the
        // buffer ends now.
        if (ends_.size() < record) ends_.resize(record, text_.size());
        text_.append(afterOutflow);
        ends_.push_back(text_.size());
    }
    // What record `record` kept: "" when it had no fourth field.
    std::string_view AfterOutflow(std::size_t record) const {
        if (record >= ends_.size()) return {};
        const std::size_t begin = record == 0 ? 0 : ends_[record - 1];
        return std::string_view(text_).substr(begin, ends_[record] - begin);
    }
    bool Empty() const { return ends_.empty(); }
    void Clear() {
        std::string().swap(text_);
        std::vector<std::size_t>().swap(ends_);
    }

private:
    std::string text_;
    std::vector<std::size_t> ends_;
};
