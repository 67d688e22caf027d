#include "OptionText.h"

#include "Arithmetic.h"

void RefuseOption(std::string_view option, std::string_view detail) {
    std::string message(option);
    message += ": ";
    message += detail;
    throw EOptionError(std::move(message));
}

std::string Quoted(std::string_view text) {
    std::string quoted = "'";
    quoted += text;
    quoted += '\'';
    return quoted;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

std::vector<std::string_view> SplitOptionList(std::string_view text) {
    std::vector<std::string_view> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        items.push_back(TrimText(
            text.substr(start, comma == std::string_view::npos ? comma : comma - start)));
        if (comma == std::string_view::npos) return items;
        start = comma + 1;
    }
}

bool SplitOptionItem(std::string_view item, std::string_view& name, std::string_view& value) {
    const std::size_t equals = item.find('=');
    if (equals == std::string_view::npos) return false;
    name = TrimText(item.substr(0, equals));
    value = TrimText(item.substr(equals + 1));
    return true;
}

int SmallNumber(std::string_view text) {
    if (text.empty() || text.size() > 9) return -1;
    int value = 0;
    for (const char c : text) {
        if (!IsDigit(c)) return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}
