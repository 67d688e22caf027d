#include "StringList.h"

#include "Exceptions.h"

void TStringList::OutOfBounds(int index) {
    throw EStringListError("List index out of bounds (" + std::to_string(index) + ")");
}

std::string_view TrimText(std::string_view text) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && blank(text[first]))
        ++first;
    while (last > first && blank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}
