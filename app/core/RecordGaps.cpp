#include "RecordGaps.h"

#include "Exceptions.h"
#include "OptionText.h"

#include <algorithm>

TMissingMode ParseMissingMode(std::string_view text) {
    if (SameIgnoringCase(TrimText(text), "skip")) return TMissingMode::Skip;
    RefuseOption("--missing", "takes skip, not " + Quoted(text));
}

Currency ParseMissingValue(std::string_view text) {
    try {
        if (!TrimText(text).empty()) return DecimalFromText(TrimText(text));
    } catch (const EConvertError&) {
    }
    RefuseOption("--missing-value", Quoted(text) + " is no number");
}

bool TMissingValues::IsMissing(std::string_view field) const {
    field = TrimText(field);
    if (field.empty()) return true;
    if (values_.empty()) return false;
    try {
        const Currency value = DecimalFromText(field);
        return std::find(values_.begin(), values_.end(), value) != values_.end();
    } catch (const EConvertError&) {
        return false; // no number: the reader's to report, not a gap
    }
}

std::string TMissingValues::Reason(std::string_view what, std::string_view field) {
    std::string reason(what);
    field = TrimText(field);
    if (field.empty()) return reason + " is blank";
    reason += " is ";
    reason += field;
    reason += " (a missing value)";
    return reason;
}

std::size_t TrailingNotesStart(const std::vector<bool>& isStamp) {
    std::size_t k = isStamp.size();
    while (k > 0 && !isStamp[k - 1])
        --k;
    return k == 0 ? isStamp.size() : k;
}

std::string NotesWarning(std::string_view file, std::int64_t firstLine, std::size_t lines) {
    std::string text(file);
    text += ':' + std::to_string(firstLine) + ": " + std::to_string(lines) +
            (lines == 1 ? " line" : " lines") +
            " at the end taken as notes and ignored (their time field is no time stamp)";
    return text;
}

void TSkippedRecords::Add(std::int64_t line, std::string reason) {
    if (listed_.size() < kListed) listed_.push_back({line, std::move(reason)});
    ++count_;
}

std::string TSkippedRecords::Text(std::string_view file) const {
    std::string text;
    for (const TEntry& e : listed_) {
        text += file;
        text += ':' + std::to_string(e.line) + ": skipped: " + e.reason + '\n';
    }
    if (count_ > listed_.size()) {
        const std::size_t more = count_ - listed_.size();
        text += file;
        text += ": " + std::to_string(more) + (more == 1 ? " more record" : " more records") +
                " skipped\n";
    }
    return text;
}
