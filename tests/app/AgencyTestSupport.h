#pragma once
// Shared by the tests of the agency-file building blocks.

#include "OptionText.h"

#include <bit>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace agency_test {

inline std::uint64_t Bits(double x) { return std::bit_cast<std::uint64_t>(x); }

// The lines of a file of the agencies' own (realdata/as-published).
inline std::vector<std::string> PublishedLines(const std::string& name) {
    std::ifstream in(std::string(QUELMORA_REALDATA_DIR) + "/as-published/" + name, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The message of the EOptionError `run` raises; "" when it raises none.
template <class F>
std::string Refusal(F run) {
    try {
        run();
    } catch (const EOptionError& e) {
        return e.what();
    }
    return "";
}

}  // namespace agency_test
