#include "WorkbookLines.h"

#include <charconv>
#include <cstddef>

namespace workbook {

namespace {

// Significant digits of a plain decimal text: those between the first and
// the last non-zero digit.
std::size_t SignificantDigits(std::string_view text) {
    const std::size_t first = text.find_first_of("123456789");
    if (first == std::string_view::npos) return 0;
    const std::size_t last = text.find_last_of("123456789");
    std::size_t n = 0;
    for (std::size_t i = first; i <= last; ++i) n += text[i] >= '0' && text[i] <= '9';
    return n;
}

}  // namespace

std::string NumberFieldText(const Cell& cell) {
    const std::string& text = cell.text;
    // Up to 15 significant digits, a decimal text names its double alone.
    if (text.find_first_of("eE+") == std::string::npos && SignificantDigits(text) <= 15) return text;
    char buffer[400];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, cell.number, std::chars_format::fixed);
    return error == std::errc() ? std::string(buffer, end) : text;
}

SheetLines::SheetLines(const WorkbookName& name, const ReadLimits& limits) : rows_(name, limits) { Fetch(); }

void SheetLines::Fetch() {
    for (;;) {
        ahead_ = rows_.Next(row_);
        if (!ahead_) return;
        // A row of blank texts only is no line (a tool's empty strings).
        for (const Cell& c : row_.cells)
            if (c.type != CellType::Text || c.text.find_first_not_of(" \t\r\n") != std::string::npos) return;
    }
}

void SheetLines::ReadLine(std::string& line) {
    line.clear();
    stamps_.clear();
    number_ = row_.number;
    int column = 1;   // the column the line's last field stands for
    for (const Cell& c : row_.cells) {
        for (; column < c.column; ++column) line += ',';
        const std::size_t field = static_cast<std::size_t>(c.column - 1);
        switch (c.type) {
        case CellType::Number:
            if (c.date) {
                const DateTimeValue stamp = CellStamp(c);
                stamps_.emplace_back(field, stamp);
                const std::size_t from = line.size();
                AppendStampText(line, stamp);
                for (std::size_t i = from; i < line.size(); ++i)
                    if (line[i] == ',') line[i] = ';';
            } else {
                line += NumberFieldText(c);
            }
            break;
        case CellType::Text:
            for (const char ch : c.text) line += ch == ',' ? ';' : ch == '\n' || ch == '\r' || ch == '\t' ? ' ' : ch;
            break;
        case CellType::Boolean:
            line += c.text;
            break;
        case CellType::Error:
        case CellType::Empty:
            break;
        }
    }
    Fetch();
}

bool SheetLines::FieldStamp(std::size_t field, DateTimeValue& value) const {
    for (const auto& [f, stamp] : stamps_)
        if (f == field) {
            value = stamp;
            return true;
        }
    return false;
}

std::unique_ptr<TLineSource> OpenWorkbookLines(const std::string& name) {
    const WorkbookName split = SplitWorkbookName(name);
    if (!IsWorkbookFileName(split.file)) return nullptr;
    return std::make_unique<SheetLines>(split);
}

void InstallWorkbookLines() { SetLineSourceOpener(OpenWorkbookLines); }

} // namespace workbook
