#pragma once
// TStringList: an ordered list of texts; Get checks its index.
//
// Clear keeps the texts' storage: a list filled and cleared once per line of a
// large file reuses the same strings instead of allocating new ones.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class TStringList {
  public:
    void Add(std::string_view text) {
        if (count_ < items_.size())
            items_[count_].assign(text);
        else
            items_.emplace_back(text);
        ++count_;
    }
    void Clear() { count_ = 0; }
    int Count() const { return static_cast<int>(count_); }
    // EStringListError "List index out of bounds (%d)" outside 0 .. Count-1.
    const std::string& Get(int index) const {
        if (index < 0 || static_cast<std::size_t>(index) >= count_) OutOfBounds(index);
        return items_[static_cast<std::size_t>(index)];
    }

  private:
    [[noreturn]] static void OutOfBounds(int index);

    std::vector<std::string> items_; // [0, count_) in use, the rest kept for reuse
    std::size_t count_ = 0;
};

// Strips characters with codes 0 to 32 from both ends.
std::string_view TrimText(std::string_view text);
