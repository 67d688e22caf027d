#pragma once
// Every problem of a curve file and a flood record at once, each with its file
// and line, without computing anything: what a user runs before trusting a
// long record, instead of mending one failure at a time.

#include "DatedCurves.h"
#include "RecordFormat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TRecordProblem {
    std::string file;
    std::int64_t line = 0;   // 1-based; 0 for the file as a whole (it cannot be opened)
    std::string message;
    // Not a problem but what the check tells (which curve a part of the
    // record uses).
    bool note = false;
};

struct TRecordCheckOptions {
    // Fields of the flood record after the outflow (4 = the fourth) that the
    // computation will also read as flows.
    std::vector<int> lossFields;
    // A step longer than this many times the record's usual (median) step is
    // reported as a gap.
    double gapFactor = 3.0;
    // How the files are laid out: the same formats their readers take.
    TRecordFormat curveFormat;
    TRecordFormat format;
    // Further curves, each valid from a day on, beside the curve file (which
    // holds from the start, or from curveFrom): each record's level is
    // checked on the curve of its day, and the check tells which curve each
    // part of the record uses.
    std::vector<TCurveArgument> datedCurves;
    std::optional<std::int64_t> curveFrom;
};

// The curve file is checked first; the flood record (when its name is not
// empty) against the points of the curve that could be read. A file that
// cannot be opened is one problem, and its checks are skipped.
std::vector<TRecordProblem> CheckRecordFiles(const std::string& curveFile, const std::string& floodFile,
                                             const TRecordCheckOptions& options = {});

// "FILE:LINE: MESSAGE" (or "FILE: MESSAGE" for the file as a whole).
std::string ProblemText(const TRecordProblem& problem);
