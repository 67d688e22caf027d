#include "RecordLine.h"

#include "OptionText.h"

#include <cstring>

void SplitFields(std::string_view line, std::vector<std::string_view>& fields) {
    fields.clear();
    const char* const begin = line.data();
    const char* const end = begin + line.size();
    const char* start = begin;
    for (;;) {
        const auto* comma = static_cast<const char*>(
            start == end ? nullptr
                         : std::memchr(start, ',', static_cast<std::size_t>(end - start)));
        if (!comma) {
            fields.emplace_back(start, static_cast<std::size_t>(end - start));
            return;
        }
        fields.emplace_back(start, static_cast<std::size_t>(comma - start));
        start = comma + 1;
    }
}

std::string_view WithoutByteOrderMark(std::string_view text) {
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    return text;
}

std::string_view HeadingName(std::string_view text) {
    return TrimText(WithoutByteOrderMark(TrimText(text)));
}

std::vector<std::string_view> HeadingNames(std::string_view headingLine) {
    std::vector<std::string_view> names;
    SplitFields(headingLine, names);
    for (std::string_view& name : names)
        name = HeadingName(name);
    return names;
}

int TextDecimals(std::string_view text) {
    const std::size_t point = text.find('.');
    if (point == std::string_view::npos) return 0;
    std::size_t end = point + 1;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    return static_cast<int>(end - point - 1);
}
