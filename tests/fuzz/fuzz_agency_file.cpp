// An agency's record with arbitrary layout options: the first line of the
// input holds the options ("--columns time=Date,level=2,outflow=3" and
// others, separated by 0x1F between name and value and by 0x1E between
// options), the rest is the flood file; the curve is the example one. Bad
// options are the program's own refusal. Then, whatever the file holds:
//  - loading then computing, and computing while reading, agree: the same
//    result bytes when both succeed, the same failing line when both fail;
//  - a line the load fails on is a line the check names.

#include "FuzzSupport.h"
#include "InflowWork.h"
#include "LineFile.h"
#include "OptionText.h"
#include "RecordCheck.h"
#include "RecordFormat.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace {

constexpr char kCurve[] =
    "level,storage\n495,1.58\n496,1.66\n497,1.74\n498,1.825\n499,1.91\n500,2\n"
    "510,3.1\n520,4.45\n524,5.06\n525,5.22\n526,5.39\n530,6.1\n";

struct Files {
    std::string curve = fuzz::ScratchDir::Get().File("curve.txt");
    std::string flood = fuzz::ScratchDir::Get().File("flood.csv");
    std::string loaded = fuzz::ScratchDir::Get().File("loaded.txt");
    std::string streamed = fuzz::ScratchDir::Get().File("streamed.txt");
};

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TOptionPairs Options(std::string_view text) {
    TOptionPairs pairs;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\x1E'), text.size());
        const std::string_view option = text.substr(0, end);
        const std::size_t cut = option.find('\x1F');
        pairs.emplace_back(std::string(option.substr(0, cut)),
                           cut == std::string_view::npos ? std::string() : std::string(option.substr(cut + 1)));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return pairs;
}

// What one road gave: the result text, or the failing line (0: none).
struct Outcome {
    bool ok = false;
    bool readFailed = false;   // the failure was the reading's, not the computation's
    std::string result;
    std::int64_t line = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Files files;
    static const bool curveWritten = [] {
        fuzz::WriteBytes(files.curve, reinterpret_cast<const std::uint8_t*>(kCurve), sizeof kCurve - 1);
        return true;
    }();
    (void)curveWritten;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t firstLine = std::min(input.find('\n'), input.size());
    TRecordFormat format;
    try {
        format = ReadRecordFormat(TFileKind::Flood, Options(input.substr(0, firstLine)));
    } catch (const EOptionError&) {
        return 0;
    }
    const std::string_view flood = input.substr(std::min(firstLine + 1, input.size()));
    fuzz::WriteBytes(files.flood, reinterpret_cast<const std::uint8_t*>(flood.data()), flood.size());

    auto road = [&](bool whileReading) {
        Outcome outcome;
        InflowWork work;
        work.ShowTables = !whileReading;
        try {
            work.ReadCurve(files.curve);
            work.FloodFormat = format;
            if (whileReading) {
                LineFile out;
                out.OpenWriteAtomic(files.streamed, 1 << 16);
                std::exception_ptr writeError;
                InflowWork::TStreamed streamed;
                work.ComputeWhileReading(files.flood, out, writeError, streamed);
                FUZZ_CHECK(!writeError);
                out.Close();
                outcome.result = Bytes(files.streamed);
            } else {
                try {
                    work.ReadFlood(files.flood);
                } catch (const Exception&) {
                    outcome.readFailed = true;
                    throw;
                }
                work.Compute();
                work.WriteResult(files.loaded);
                outcome.result = Bytes(files.loaded);
            }
            outcome.ok = true;
        } catch (const EOptionError&) {
            outcome.line = -1;   // a heading the file lacks: no line
        } catch (const Exception&) {
            if (work.FailedLine) outcome.line = work.FailedLine->line;
        }
        return outcome;
    };
    const Outcome loaded = road(false);
    // Losses need the whole record: no computation while reading takes them.
    bool losses = false;
    if (format.columns)
        for (const TColumnChoice& c : format.columns->choices) losses = losses || c.quantity == TRecordQuantity::Loss;
    if (!losses) {
        const Outcome streamed = road(true);
        FUZZ_CHECK(loaded.ok == streamed.ok);
        if (loaded.ok) FUZZ_CHECK(loaded.result == streamed.result);
        else FUZZ_CHECK(loaded.line == streamed.line);
    }

    // A line that fails to read is one the check names too.
    if (loaded.readFailed && loaded.line > 0) {
        TRecordCheckOptions check;
        check.format = format;
        bool named = false;
        for (const TRecordProblem& p : CheckRecordFiles(files.curve, files.flood, check))
            named = named || (p.line == loaded.line && !p.note);
        FUZZ_CHECK(named);
    }
    return 0;
}
