#pragma once
// TStringList: an ordered list of texts; Get checks its index.

#include <string>
#include <string_view>
#include <vector>

class TStringList {
public:
    void Add(std::string_view text) { items_.emplace_back(text); }
    void Clear() { items_.clear(); }
    int Count() const { return static_cast<int>(items_.size()); }
    // EStringListError "List index out of bounds (%d)" outside 0 .. Count-1.
    const std::string& Get(int index) const;

private:
    std::vector<std::string> items_;
};

// Strips characters with codes 0 to 32 from both ends.
std::string_view TrimText(std::string_view text);
