#pragma once
// The four buttons' work on a curve file and a flood record file, in the
// order a user clicks them, each step going on whatever the one before did.
// The program's own errors are expected; anything else escapes to libFuzzer.
// Whatever succeeds is checked against the plain, unhurried road: the line
// reader, the field splitter and the conversions one by one, the full scan of the
// curve, StampToText and DecimalToText for every text written.

#include "Currency.h"
#include "CurveLookup.h"
#include "DateTime.h"
#include "Exceptions.h"
#include "FloodStamp.h"
#include "FuzzSupport.h"
#include "InflowWork.h"
#include "LineFile.h"
#include "RecordLine.h"
#include "StringList.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace fuzz {

struct InflowFiles {
    std::string curve = ScratchDir::Get().File("curve.txt");
    std::string flood = ScratchDir::Get().File("flood.txt");
    std::string result = ScratchDir::Get().File("result.txt");
};

inline const InflowFiles& Files() {
    static const InflowFiles files;
    return files;
}

// The data lines of a file as the plain road gives them: trimmed, split.
inline std::vector<std::vector<std::string>> SplitDataLines(const std::string& fileName) {
    std::vector<std::vector<std::string>> rows;
    LineFile file;
    file.OpenRead(fileName);
    std::string line = file.ReadLine();
    std::vector<std::string_view> pieces;
    while (!file.AtEnd()) {
        file.ReadLine(line);
        SplitFields(TrimText(line), pieces);
        rows.emplace_back(pieces.begin(), pieces.end());
    }
    file.Close();
    return rows;
}

inline double ReadNumber(std::string_view text) { return DecimalToReal(DecimalFromText(text)); }
inline std::string NumberText(double value) { return DecimalToText(DecimalFromReal(value)); }

inline bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

inline void CheckCurve(const InflowWork& work, bool read) {
    if (!read) {
        FUZZ_CHECK(work.CurvePoints.empty());
        return;
    }
    const auto rows = SplitDataLines(Files().curve);
    FUZZ_CHECK(work.CurvePoints.size() == rows.size());
    FUZZ_CHECK(work.StringGrid2.RowCount() == std::max<int>(10, static_cast<int>(rows.size()) + 2));
    for (std::size_t e = 0; e < rows.size(); ++e) {
        const int r = static_cast<int>(e) + 2;
        FUZZ_CHECK(rows[e].size() >= 2);
        FUZZ_CHECK(work.StringGrid2.Cell(0, r) == rows[e][0] && work.StringGrid2.Cell(1, r) == rows[e][1]);
        FUZZ_CHECK(SameBits(work.CurvePoints[e].Z, ReadNumber(rows[e][0])));
        FUZZ_CHECK(SameBits(work.CurvePoints[e].V, ReadNumber(rows[e][1])));
    }

    // The quick search gives what the scan of every interval gives, at the
    // points, between them and just beside them.
    const std::vector<TCurvePoint>& points = work.CurvePoints;
    const TCurveLookup lookup(points);
    const std::size_t n = points.size();
    const std::size_t stride = n > 48 ? n / 48 : 1;
    for (std::size_t i = 0; i < n; i += stride) {
        const double z = points[i].Z;
        const double next = i + 1 < n ? points[i + 1].Z : z + 1;
        for (const double level : {z, std::nextafter(z, -1e300), std::nextafter(z, 1e300), z + (next - z) / 2}) {
            double quick = 0, scanned = 0;
            const bool foundQuick = lookup.TryStorage(level, quick);
            const bool foundScan = TCurveLookup::ScanStorage(points, level, scanned);
            FUZZ_CHECK(foundQuick == foundScan);
            FUZZ_CHECK(!foundQuick || SameBits(quick, scanned));
        }
    }
}

inline void CheckFlood(const InflowWork& work, bool read) {
    if (!read) {
        FUZZ_CHECK(work.FloodSteps.empty());
        return;
    }
    const auto rows = SplitDataLines(Files().flood);
    FUZZ_CHECK(work.FloodSteps.size() == rows.size());
    FUZZ_CHECK(work.StringGrid1.RowCount() == std::max<int>(10, static_cast<int>(rows.size()) + 2));
    for (std::size_t e = 0; e < rows.size(); ++e) {
        const int r = static_cast<int>(e) + 2;
        FUZZ_CHECK(rows[e].size() >= 3);
        FUZZ_CHECK(work.StringGrid1.Cell(0, r) == rows[e][0] && work.StringGrid1.Cell(1, r) == rows[e][1] &&
                   work.StringGrid1.Cell(6, r) == rows[e][2]);
        const TFloodStep& s = work.FloodSteps[e];
        // A fresh reader: the one that read the file kept its last day.
        FUZZ_CHECK(SameBits(s.T, TFloodStampReader().Read(rows[e][0])));
        FUZZ_CHECK(SameBits(s.Z, ReadNumber(rows[e][1])));
        FUZZ_CHECK(SameBits(s.Qout, ReadNumber(rows[e][2])));
    }
}

// After a complete computation every record's row shows its computed fields.
inline void CheckComputed(const InflowWork& work) {
    const TStringGrid& grid = work.StringGrid1;
    const std::size_t n = std::min<std::size_t>(work.FloodSteps.size(), static_cast<std::size_t>(grid.RowCount() - 2));
    for (std::size_t e = 0; e < n; ++e) {
        const TFloodStep& s = work.FloodSteps[e];
        const int r = static_cast<int>(e) + 2;
        FUZZ_CHECK(grid.Cell(2, r) == NumberText(s.V));
        if (e == 0) continue;
        FUZZ_CHECK(grid.Cell(3, r) == NumberText(s.dV) && grid.Cell(4, r) == NumberText(s.dt) &&
                   grid.Cell(5, r) == NumberText(s.dVdt) && grid.Cell(7, r) == NumberText(s.qMean) &&
                   grid.Cell(8, r) == NumberText(s.Qin));
    }
}

// The result file as its lines define it; false when a value has no text
// (out of the decimal range), in which case the writer must have failed.
inline bool ExpectedResult(const InflowWork& work, std::string& out) {
    const TStringGrid& grid = work.StringGrid1;
    for (int row = 0; row < 2; ++row) {
        for (int c = 0; c < grid.ColCount(); ++c) {
            if (c) out += " , ";
            out += grid.Cell(c, row);
        }
        out += "\r\n";
    }
    const std::size_t n = std::min<std::size_t>(work.FloodSteps.size(), static_cast<std::size_t>(grid.RowCount() - 2));
    try {
        for (std::size_t e = 0; e < n; ++e) {
            const TFloodStep& s = work.FloodSteps[e];
            out += StampToText(s.T) + ",";
            for (const double v : {s.Z, s.V, s.dV, s.dt, s.dVdt, s.Qout, s.qMean, s.Qin}) out += NumberText(v) + ",";
            out += "\r\n";
        }
    } catch (const EInvalidOp&) {
        return false;
    }
    return true;
}

// A number text as the readers read it; false for none.
inline bool TryNumber(std::string_view text, long double& value) {
    try {
        value = ReadNumber(text);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

template <class Step> bool Try(Step step) {
    try {
        step();
        return true;
    } catch (const Exception&) {
        return false;
    }
}

// The agency's balance on a record the plain one computed whole: it succeeds
// only when every record has a fourth field that is a number, and then its
// terms are the formulas taken one by one.
inline void CheckAgencyBalance(InflowWork& work) {
    const auto rows = SplitDataLines(Files().flood);
    const std::vector<TFloodStep> plain = work.FloodSteps;
    work.Balance.outflow = TBalanceOptions::TOutflow::End;
    work.Balance.bankStorage = 0.08;
    work.Balance.lossFields = {4};
    const bool computed = Try([&] { work.Compute(); });
    // The records computed; with the outflow at a step's end the first one's
    // fields are never read.
    const std::size_t n = std::min<std::size_t>(plain.size(), static_cast<std::size_t>(work.StringGrid1.RowCount() - 2));
    bool fields = true;
    std::vector<long double> loss(n);
    for (std::size_t e = 1; e < n && fields; ++e)
        fields = rows[e].size() >= 4 && TryNumber(rows[e][3], loss[e]);
    if (!fields) {
        FUZZ_CHECK(!computed);
        return;
    }
    if (!computed) return;   // a value beyond the decimal range
    for (std::size_t e = 1; e < n; ++e) {
        const TFloodStep& s = work.FloodSteps[e];
        FUZZ_CHECK(SameBits(s.V, plain[e].V) && SameBits(s.dV, plain[e].dV) && SameBits(s.dt, plain[e].dt));
        FUZZ_CHECK(SameBits(s.dVdt, static_cast<double>((1.0L + 0.08) * s.dV * 1e8L / s.dt)));
        FUZZ_CHECK(SameBits(s.qMean, static_cast<double>(static_cast<long double>(s.Qout) + loss[e])));
        FUZZ_CHECK(SameBits(s.Qin, static_cast<double>(static_cast<long double>(s.dVdt) + s.qMean)));
    }
    work.Balance = {};
}

inline void RunInflow() {
    InflowWork work;
    work.FormCreate();
    work.ResetCurveTable();
    CheckCurve(work, Try([&] { work.ReadCurve(Files().curve); }));
    work.ResetFloodTable();
    CheckFlood(work, Try([&] { work.ReadFlood(Files().flood); }));
    const bool computed = Try([&] { work.Compute(); });
    if (computed) CheckComputed(work);

    ::unlink(Files().result.c_str());
    const bool written = Try([&] { work.WriteResult(Files().result); });
    std::string expected;
    if (ExpectedResult(work, expected)) {
        FUZZ_CHECK(written);
        FUZZ_CHECK(ReadBytes(Files().result) == expected);
    } else {
        // Replaced as a whole or not at all: nothing of a failed file stays.
        FUZZ_CHECK(!written && ::access(Files().result.c_str(), F_OK) != 0);
    }
    if (computed) CheckAgencyBalance(work);
}

}  // namespace fuzz
