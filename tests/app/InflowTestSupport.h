#pragma once
// Files in a scratch folder, and a known locale record, for the tests of the
// window's work and of the batch mode.

#include "LocaleFormats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace inflow_test {

class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quelmora-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

    // The names in the folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path);
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Lines joined with LF, each ended by one.
inline std::string Lines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += line + "\n";
    return out;
}

// The second field of each line after the heading, as numbers: the inflow of a
// published series (time,inflow,...).
inline std::vector<double> ReadPublishedInflow(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::string line;
    std::getline(in, line);
    std::vector<double> inflow;
    while (std::getline(in, line)) {
        const std::size_t comma = line.find(',');
        inflow.push_back(std::stod(line.substr(comma + 1, line.find(',', comma + 1) - comma - 1)));
    }
    return inflow;
}

// The root mean square of the differences of two series from index `from` on.
inline double Rmse(const std::vector<double>& a, const std::vector<double>& b, std::size_t from) {
    if (a.size() != b.size() || a.size() <= from) throw std::invalid_argument("series of different lengths");
    double sum = 0;
    for (std::size_t e = from; e < a.size(); ++e) sum += (a[e] - b[e]) * (a[e] - b[e]);
    return std::sqrt(sum / static_cast<double>(a.size() - from));
}

// The error message of an action, "(no error)" when it succeeds.
inline std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

// A locale with ISO dates and 24-hour times with leading zeros, '.' decimals.
class IsoLocaleTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Formats();
        LocaleFormats& f = Formats();
        f.decimalMark = '.';
        f.dateMark = '-';
        f.shortDatePattern = "yyyy-mm-dd";
        f.timeMark = ':';
        f.longTimePattern = "hh:mm:ss";
    }
    void TearDown() override { Formats() = saved_; }

private:
    LocaleFormats saved_;
};

}  // namespace inflow_test
