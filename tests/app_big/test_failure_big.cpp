// Very large inputs through the built program's batch mode: a flood record
// and a curve of ten million lines, single lines of a hundred megabytes. The
// program must give the correct result or a clear message, never crash, and
// hold no more memory than a small multiple of what it reads.

#include "../app_gui/FailureTestSupport.h"
#include "InflowWork.h"
#include "LocaleFormats.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace failure_test;

namespace {

const std::string kProgram = QUELMORA_EXECUTABLE;
constexpr std::size_t kMiB = 1024 * 1024;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;   // memory is the sanitizer's, and everything is slower
#else
constexpr bool kSanitized = false;
#endif

// Writes a file in large pieces.
class BigWriter {
public:
    explicit BigWriter(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {
        if (!file_) throw std::runtime_error("cannot create " + path);
        buffer_.reserve(kPiece + 4096);
    }
    ~BigWriter() {
        if (file_) std::fclose(file_);
    }
    BigWriter(const BigWriter&) = delete;
    BigWriter& operator=(const BigWriter&) = delete;
    std::string& Buffer() { return buffer_; }
    // After appending to Buffer().
    void Flush(bool force = false) {
        if (!force && buffer_.size() < kPiece) return;
        if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
            throw std::runtime_error("short write");
        buffer_.clear();
    }
    void Close() {
        Flush(true);
        if (std::fclose(file_) != 0) throw std::runtime_error("close failed");
        file_ = nullptr;
    }

private:
    static constexpr std::size_t kPiece = 4 * kMiB;
    std::FILE* file_;
    std::string buffer_;
};

void Two(std::string& out, int v) {
    out += static_cast<char>('0' + v / 10);
    out += static_cast<char>('0' + v % 10);
}

// Record k of a long flood record: a minute after the one before from
// 2007-01-01 on, levels going up and down between 495 and 497 m.
void AppendRecord(std::string& out, long k) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    long day = k / 1440;
    const int minuteOfDay = static_cast<int>(k % 1440);
    int year = 2007, month = 0;
    for (;;) {
        const int length = kDays[month] + (month == 1 && year % 4 == 0 ? 1 : 0);
        if (day < length) break;
        day -= length;
        if (++month == 12) {
            month = 0;
            ++year;
        }
    }
    out += std::to_string(year);
    out += '-';
    Two(out, month + 1);
    out += '-';
    Two(out, static_cast<int>(day) + 1);
    out += ' ';
    Two(out, minuteOfDay / 60);
    out += '-';
    Two(out, minuteOfDay % 60);
    out += "-00,";
    const int centimetres = static_cast<int>(k * 37 % 200);
    out += centimetres < 100 ? "495." : "496.";
    Two(out, centimetres % 100);
    out += ',';
    out += std::to_string(90 + k % 13);
    out += '\n';
}

const char* kFloodHeading = "时间T(m),库水位V(m),出库流量(m3/s)\n";
const char* kCurveHeading = "水位H(m),库容V(亿m3)\n";

// What the window's work writes for these two files, in this process.
std::string ResultOf(const ScratchFolder& folder, const std::string& curve, const std::string& flood) {
    PutFile(folder / "ref-curve.txt", curve);
    PutFile(folder / "ref-flood.txt", flood);
    InflowWork work;
    work.FormCreate();
    work.ResetCurveTable();
    work.ReadCurve(folder / "ref-curve.txt");
    work.ResetFloodTable();
    work.ReadFlood(folder / "ref-flood.txt");
    work.Compute();
    work.WriteResult(folder / "ref-result.txt");
    return GetFile(folder / "ref-result.txt");
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end + 1 - start));
    return lines;
}

// A long result file read in pieces: its line count, first data line and
// last line.
struct ResultShape {
    std::size_t lines = 0;
    std::string head;   // the two heading lines and the first data line
    std::string last;
};
ResultShape ShapeOf(const std::string& path) {
    ResultShape shape;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return shape;
    std::vector<char> piece(8 * kMiB);
    std::string current;
    for (std::size_t n; (n = std::fread(piece.data(), 1, piece.size(), file)) > 0;) {
        const char* p = piece.data();
        const char* end = p + n;
        while (p < end) {
            const char* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            if (!lf) {
                current.append(p, end);
                break;
            }
            current.append(p, lf + 1);
            if (++shape.lines <= 3) shape.head += current;
            shape.last.swap(current);
            current.clear();
            p = lf + 1;
        }
    }
    std::fclose(file);
    return shape;
}

void ExpectMemoryBound(const ProgramRun& run, std::uintmax_t inputBytes, double multiple) {
    const double boundKiB = (multiple * static_cast<double>(inputBytes) + 64.0 * kMiB) / 1024.0;
    std::printf("peak resident size %.0f MiB for %.0f MiB read, %.1f s\n", run.peakKiB / 1024.0,
                static_cast<double>(inputBytes) / kMiB, run.seconds);
    if (kSanitized) return;
    EXPECT_LE(static_cast<double>(run.peakKiB), boundKiB)
        << "peak " << run.peakKiB / 1024 << " MiB for " << inputBytes / kMiB << " MiB of input";
}

std::string ShortenedMessage(const std::string& quoted, const std::string& tail) {
    const std::size_t length = 1 + quoted.size() + tail.size();
    return "'" + quoted.substr(0, 599) + " … (" + std::to_string(length - 800) + " bytes left out) … " +
           quoted.substr(quoted.size() - (200 - tail.size())) + tail + ".";
}

class BigInput : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("LC_ALL", "C.UTF-8", 1);
        LoadLocaleFormats();
    }
    ScratchFolder folder;
};

}  // namespace

TEST_F(BigInput, FloodRecordOfTenMillionLines) {
    if (kSanitized) GTEST_SKIP() << "too slow and too large under the address sanitizer";
    constexpr long kRecords = 10000000;
    const std::string curve = std::string(kCurveHeading) + "495,1.58\n496,1.66\n497,1.74\n";
    PutFile(folder / "curve.txt", curve);
    {
        BigWriter out(folder / "flood.txt");
        out.Buffer() += kFloodHeading;
        for (long k = 0; k < kRecords; ++k) {
            AppendRecord(out.Buffer(), k);
            out.Flush();
        }
        out.Close();
    }
    const auto size = fs::file_size(folder / "flood.txt");
    ASSERT_GT(size, 280 * kMiB);

    const ProgramRun run = RunProgram(
        kProgram, {"--curve", folder / "curve.txt", "--flood", folder / "flood.txt", "--out", folder / "result.txt"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    ExpectMemoryBound(run, size, 7.0);
    fs::remove(folder / "flood.txt");

    // A row's results rest on it and the row before alone: the first and the
    // last two records computed here give the file's first and last lines.
    const ResultShape shape = ShapeOf(folder / "result.txt");
    fs::remove(folder / "result.txt");
    EXPECT_EQ(shape.lines, static_cast<std::size_t>(kRecords) + 2);
    std::string first = kFloodHeading, last = kFloodHeading;
    AppendRecord(first, 0);
    AppendRecord(first, 1);
    AppendRecord(last, kRecords - 2);
    AppendRecord(last, kRecords - 1);
    const std::vector<std::string> firstLines = SplitLines(ResultOf(folder, curve, first));
    const std::vector<std::string> lastLines = SplitLines(ResultOf(folder, curve, last));
    ASSERT_EQ(firstLines.size(), 4u);
    ASSERT_EQ(lastLines.size(), 4u);
    EXPECT_EQ(shape.head, firstLines[0] + firstLines[1] + firstLines[2]);
    EXPECT_EQ(shape.last, lastLines[3]);
}

TEST_F(BigInput, CurveOfTenMillionLines) {
    if (kSanitized) GTEST_SKIP() << "too slow and too large under the address sanitizer";
    // Point i: level 400 + i / 1000 m, storage 7 i / 10000.
    auto point = [](long i) {
        char line[48];
        std::snprintf(line, sizeof line, "%ld.%03ld,%ld.%04ld\n", 400 + i / 1000, i % 1000, 7 * i / 10000,
                      7 * i % 10000);
        return std::string(line);
    };
    constexpr long kPoints = 10000000;
    {
        BigWriter out(folder / "curve.txt");
        out.Buffer() += kCurveHeading;
        for (long i = 0; i < kPoints; ++i) {
            out.Buffer() += point(i);
            out.Flush();
        }
        out.Close();
    }
    const auto size = fs::file_size(folder / "curve.txt");
    ASSERT_GT(size, 170 * kMiB);
    // One level between two points, one at the top point.
    const std::string flood =
        std::string(kFloodHeading) + "2007-07-29 00-00-00,450.5005,1\n2007-07-29 01-00-00,10399.999,1\n";
    PutFile(folder / "flood.txt", flood);
    const ProgramRun run = RunProgram(kProgram, {"--curve", folder / "curve.txt", "--flood", folder / "flood.txt"});
    fs::remove(folder / "curve.txt");
    EXPECT_EQ(run.status, 0);
    // Levels 10 km apart are no lake's: said once, and the work done.
    EXPECT_TRUE(run.err.starts_with("quelmora: the values look like other units")) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    ExpectMemoryBound(run, size, 5.0);
    // The levels need only the points around them.
    const std::string around = kCurveHeading + point(50500) + point(50501) + point(kPoints - 2) + point(kPoints - 1);
    EXPECT_EQ(run.out, ResultOf(folder, around, flood));
}

// A line of a hundred megabytes is read whole; where it cannot be a number
// or a time stamp the message says so, showing the text's start and end.
TEST_F(BigInput, LinesOfAHundredMegabytesThatCannotBeRead) {
    const std::string huge(100 * kMiB, '7');
    struct Case {
        const char* what;
        std::string curve, flood;
        std::string message;
        std::string place;   // the second line, after "quelmora: FILE"
    };
    const std::string curve = std::string(kCurveHeading) + "495,1.58\n497,1.74\n";
    // The line before + huge + after, by its first 600 and last 200 bytes.
    auto shown = [&](const std::string& before, const std::string& after) {
        const std::string head = (before + huge.substr(0, 600)).substr(0, 600);
        const std::string tail = huge.substr(huge.size() - 200) + after;
        return head + " … (" + std::to_string(before.size() + huge.size() + after.size() - 800) +
               " bytes left out) … " + tail.substr(tail.size() - 200);
    };
    const std::vector<Case> cases{
        {"a storage", std::string(kCurveHeading) + "495,1.58\n496," + huge + "\n", "",
         ShortenedMessage(huge, "' is not a valid floating point value"), ":3: " + shown("496,", "")},
        {"a time stamp", curve, std::string(kFloodHeading) + huge + ",495.5,0\n",
         ShortenedMessage(huge, "' is not a valid date and time"), ":2: " + shown("", ",495.5,0")},
        {"an outflow", curve, std::string(kFloodHeading) + "2007-07-29 00-00-00,495.5," + huge + "\n",
         ShortenedMessage(huge, "' is not a valid floating point value"),
         ":2: " + shown("2007-07-29 00-00-00,495.5,", "")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PutFile(folder / "curve.txt", c.curve);
        std::vector<std::string> arguments{"--curve", folder / "curve.txt"};
        if (!c.flood.empty()) {
            PutFile(folder / "flood.txt", c.flood);
            arguments.insert(arguments.end(), {"--flood", folder / "flood.txt"});
        }
        const ProgramRun run = RunProgram(kProgram, arguments);
        EXPECT_EQ(run.status, 1);
        // The line's text comes shortened like the message: its start and end.
        const std::string place = "quelmora: " + folder / (c.flood.empty() ? "curve.txt" : "flood.txt") + c.place + "\n";
        EXPECT_TRUE(run.err == ErrorLine(c.message) + place) << run.err.size() << " bytes: " << run.err.substr(0, 200);
        EXPECT_EQ(run.out, "");
        ExpectMemoryBound(run, c.curve.size() + c.flood.size(), 5.0);
    }
}

// Blanks before a record and fields after it, a hundred megabytes of each:
// trimmed and ignored, the result is that of the plain lines.
TEST_F(BigInput, LinesOfAHundredMegabytesAroundGoodValues) {
    const std::string blanks(50 * kMiB, ' '), tabs(50 * kMiB, '\t'), extra(100 * kMiB, 'x');
    const std::string curve = std::string(kCurveHeading) + "495,1.58\n496,1.66," + extra + "\n497,1.74\n";
    const std::string flood = std::string(kFloodHeading) + "2007-07-29 00-00-00,495.5,0\n" + blanks + tabs +
                              "2007-07-29 06-00-00,496,90,," + extra + "\n";
    PutFile(folder / "curve.txt", curve);
    PutFile(folder / "flood.txt", flood);
    const ProgramRun run = RunProgram(kProgram, {"--curve", folder / "curve.txt", "--flood", folder / "flood.txt"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    ExpectMemoryBound(run, curve.size() + flood.size(), 5.0);
    const std::string plainCurve = std::string(kCurveHeading) + "495,1.58\n496,1.66\n497,1.74\n";
    const std::string plainFlood =
        std::string(kFloodHeading) + "2007-07-29 00-00-00,495.5,0\n2007-07-29 06-00-00,496,90\n";
    EXPECT_EQ(run.out, ResultOf(folder, plainCurve, plainFlood));
}
