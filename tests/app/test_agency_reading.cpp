// The readers with a format: an agency's layout of the very records a plain
// file holds reads to the very same records, and a file's faults are the
// same to the load, to the computation while reading and to the check.

#include "AgencyTestSupport.h"
#include "InflowTestSupport.h"
#include "InflowWork.h"
#include "LineFile.h"
#include "RecordCheck.h"
#include "StringList.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using agency_test::Bits;
using inflow_test::ReadFile;
using inflow_test::ScratchDir;
using inflow_test::WriteFile;

const std::string kRealdata = QUELMORA_REALDATA_DIR;

std::vector<std::string> PlainLines(const std::string& path) {
    std::vector<std::string> lines;
    std::string text = ReadFile(path);
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1)
        fields.push_back(line.substr(start, comma - start));
    fields.push_back(line.substr(start));
    return fields;
}

// A layout of the plain record: the file's text, the options that read it,
// and the file line of each record.
struct TLayout {
    std::string text;
    TOptionPairs options;
    std::vector<std::int64_t> recordLines;
};

struct TLayoutCase {
    const char* name;
    std::function<TLayout(const std::vector<std::string>& records)> make;
};

// time,level,outflow of each plain record, rearranged.
std::vector<TLayoutCase> Layouts() {
    return {
        {"headings in another order, other columns, a byte-order mark",
         [](const std::vector<std::string>& records) {
             TLayout l{"\xEF\xBB\xBF" "Outflow (m3/s), precip ,Date,  LEVEL\n", {{"--columns", "time=date,level=level,outflow=outflow (M3/S)"}}, {}};
             std::int64_t line = 1;
             for (const std::string& r : records) {
                 const auto f = Split(r);
                 l.text += f[2] + ",0.5," + f[0] + "," + f[1] + "\n";
                 l.recordLines.push_back(++line);
             }
             return l;
         }},
        {"columns by number, a trailing comma, the agency's notes",
         [](const std::vector<std::string>& records) {
             TLayout l{"a,b,c,d\n", {{"--columns", "outflow=4,time=2,level=3"}}, {}};
             std::int64_t line = 1;
             for (const std::string& r : records) {
                 const auto f = Split(r);
                 l.text += "x," + f[0] + "," + f[1] + "," + f[2] + ",\n";
                 l.recordLines.push_back(++line);
             }
             l.text += "\n*,Notes: values are provisional.,\n**,See the agency's page,\n";
             return l;
         }},
        {"gaps skipped: blanks and a missing value between the records",
         [](const std::vector<std::string>& records) {
             TLayout l{"time,level,outflow\n",
                       {{"--columns", "time=1,level=2,outflow=3"}, {"--missing", "skip"}, {"--missing-value", "-96759"}},
                       {}};
             std::int64_t line = 1;
             for (std::size_t k = 0; k < records.size(); ++k) {
                 const auto f = Split(records[k]);
                 if (k % 3 == 1) {
                     l.text += f[0] + ", ," + f[2] + "\n";
                     ++line;
                 }
                 if (k % 5 == 2) {
                     l.text += f[0] + "," + f[1] + ",-96759.0\n";
                     ++line;
                 }
                 l.text += records[k] + "\n";
                 l.recordLines.push_back(++line);
             }
             return l;
         }},
    };
}

struct TRun {
    std::vector<TFloodStep> steps;
    std::string result;
    std::vector<std::int64_t> lines;
};

TRun RunWork(const std::string& curve, const std::string& flood, const TRecordFormat& format, bool whileReading,
         const std::string& out) {
    InflowWork work;
    work.ShowTables = false;
    work.ReadCurve(curve);
    work.FloodFormat = format;
    TRun run;
    if (whileReading) {
        LineFile file;
        file.OpenWriteAtomic(out, 1 << 16);
        std::exception_ptr writeError;
        InflowWork::TStreamed streamed;
        work.ComputeWhileReading(flood, file, writeError, streamed);
        file.Close();
        run.result = ReadFile(out);
    } else {
        work.ReadFlood(flood);
        work.Compute();
        work.WriteResult(out);
        run.result = ReadFile(out);
        run.steps = work.FloodSteps;
        for (std::size_t k = 0; k < work.FloodSteps.size(); ++k) run.lines.push_back(work.RecordLine(k).line);
    }
    return run;
}

TEST(AgencyReading, EveryLayoutOfARecordReadsAsThePlainRecord) {
    ScratchDir dir;
    const std::string curve = kRealdata + "/tankan_curve.txt";
    const std::string plainFile = kRealdata + "/tankan_flood.txt";
    std::vector<std::string> records = PlainLines(plainFile);
    records.erase(records.begin());   // the heading
    while (!records.empty() && records.back().empty()) records.pop_back();
    ASSERT_GT(records.size(), 10u);
    const TRun plain = RunWork(curve, plainFile, {}, false, dir / "plain.txt");

    for (const TLayoutCase& layout : Layouts()) {
        SCOPED_TRACE(layout.name);
        const TLayout l = layout.make(records);
        WriteFile(dir / "flood.csv", l.text);
        const TRecordFormat format = ReadRecordFormat(TFileKind::Flood, l.options);
        for (const bool whileReading : {false, true}) {
            const TRun run = RunWork(curve, dir / "flood.csv", format, whileReading, dir / "out.txt");
            EXPECT_EQ(run.result, plain.result) << "while reading: " << whileReading;
            if (whileReading) continue;
            ASSERT_EQ(run.steps.size(), plain.steps.size());
            for (std::size_t k = 0; k < run.steps.size(); ++k) {
                EXPECT_EQ(Bits(run.steps[k].T), Bits(plain.steps[k].T));
                EXPECT_EQ(Bits(run.steps[k].Z), Bits(plain.steps[k].Z));
                EXPECT_EQ(Bits(run.steps[k].Qout), Bits(plain.steps[k].Qout));
            }
            // A failure names the record's own line of the file.
            EXPECT_EQ(run.lines, l.recordLines);
        }
        // The check finds nothing but what the layout passes over on purpose.
        TRecordCheckOptions check;
        check.format = format;
        for (const TRecordProblem& p : CheckRecordFiles(curve, dir / "flood.csv", check))
            EXPECT_TRUE(p.message.starts_with("warning: skipped:") || p.message.find("taken as notes") != std::string::npos)
                << ProblemText(p);
    }
}

// A file's fault is the same to every reader: the load, the computation as it
// reads, and the check (which goes on to the end).
TEST(AgencyReading, AFaultIsTheSameToTheLoadTheStreamAndTheCheck) {
    ScratchDir dir;
    const std::string curve = kRealdata + "/tankan_curve.txt";
    const std::string a = "2024-07-24 14:00:00,150.78,541\n";
    const std::string b = "2024-07-24 17:00:00,150.71,481.4\n";
    const std::string c = "2024-07-24 20:00:00,150.70,470\n";
    struct TCase {
        const char* name;
        std::string text;
        TOptionPairs options;
        std::int64_t line;
        const char* message;   // the beginning of the error's text
    } cases[] = {
        {"a line that looks like a note, but records follow", "time,level,outflow\n" + a + "*,note,x\n" + b,
         {{"--columns", "time=time,level=level,outflow=outflow"}}, 3, "'*' is not a valid date"},
        {"a stamped line of too few fields", "time,level,outflow\n" + a + "2024-07-24 17:00:00,150.71\n" + c,
         {{"--columns", "time=1,level=2,outflow=3"}}, 3, "List index out of bounds (2)"},
        {"a missing value without --missing skip", "time,level,outflow\n" + a + "2024-07-24 17:00:00,-96759,481.4\n" + c,
         {{"--missing-value", "-96759"}}, 3, "level is -96759 (a missing value)"},
        {"a bad level after the switch of units", "t,z,q\n" + a + "2024-07-24 17:00:00,15o.71,481.4\n",
         {{"--units", "level=ft,flow=cfs"}}, 3, "'15o.71' is not a valid"},
    };
    for (const TCase& t : cases) {
        SCOPED_TRACE(t.name);
        WriteFile(dir / "flood.csv", t.text);
        const TRecordFormat format = ReadRecordFormat(TFileKind::Flood, t.options);
        for (const bool whileReading : {false, true}) {
            InflowWork work;
            work.ShowTables = false;
            work.ReadCurve(curve);
            work.FloodFormat = format;
            const std::string message = inflow_test::MessageOf([&] {
                if (!whileReading) return work.ReadFlood(dir / "flood.csv");
                LineFile out;
                out.OpenWriteAtomic(dir / "out.txt", 1 << 16);
                std::exception_ptr writeError;
                InflowWork::TStreamed streamed;
                work.ComputeWhileReading(dir / "flood.csv", out, writeError, streamed);
            });
            EXPECT_TRUE(message.starts_with(t.message)) << message;
            ASSERT_TRUE(work.FailedLine);
            EXPECT_EQ(work.FailedLine->line, t.line);
            EXPECT_TRUE(work.FloodSteps.empty());
        }
        TRecordCheckOptions check;
        check.format = format;
        const std::vector<TRecordProblem> problems = CheckRecordFiles(curve, dir / "flood.csv", check);
        const bool found = std::any_of(problems.begin(), problems.end(), [&](const TRecordProblem& p) {
            return p.line == t.line && (p.message.starts_with(t.message) || p.message.starts_with("expected"));
        });
        EXPECT_TRUE(found) << (problems.empty() ? "no problem" : ProblemText(problems.front()));
    }
}

// A step takes both storages from the curve of its end's day, in the load and
// in the computation while reading alike.
TEST(AgencyReading, AStepTakesBothStoragesFromTheCurveOfItsEnd) {
    ScratchDir dir;
    WriteFile(dir / "old.txt", "z,v\n100,1\n110,2\n120,3\n");
    WriteFile(dir / "new.txt", "z,v\n100,1.5\n110,2.5\n120,3.5\n");
    WriteFile(dir / "flood.txt",
              "t,z,q\n2022-06-30 12:00:00,105,0\n2022-07-01 00:00:00,106,0\n2022-07-01 12:00:00,107,0\n");
    InflowWork work;
    work.ShowTables = false;
    work.ReadCurve(dir / "new.txt");
    work.DatedCurves.push_back({dir / "new.txt", 44743 /* 2022-07-01 */, work.CurvePoints});
    work.ReadCurve(dir / "old.txt");
    work.CurvePointsFile = dir / "old.txt";
    work.ReadFlood(dir / "flood.txt");
    work.Compute();
    ASSERT_EQ(work.ComputedRecords, 3u);
    const auto& s = work.FloodSteps;
    EXPECT_DOUBLE_EQ(s[0].V, 1.5);   // its own day's curve: the old one
    EXPECT_DOUBLE_EQ(s[1].V, 2.1);   // the new one, from midnight
    // No jump on the day of the switch: 0.1 of storage, not 0.6.
    EXPECT_NEAR(s[1].dV, 0.1, 1e-12);
    EXPECT_NEAR(s[2].dV, 0.1, 1e-12);
    work.WriteResult(dir / "loaded.txt");

    LineFile out;
    out.OpenWriteAtomic(dir / "streamed.txt", 1 << 16);
    std::exception_ptr writeError;
    InflowWork::TStreamed streamed;
    work.ComputeWhileReading(dir / "flood.txt", out, writeError, streamed);
    out.Close();
    EXPECT_EQ(ReadFile(dir / "streamed.txt"), ReadFile(dir / "loaded.txt"));
}

}  // namespace
