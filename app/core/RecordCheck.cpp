#include "RecordCheck.h"

#include "Currency.h"
#include "CurveLookup.h"
#include "Exceptions.h"
#include "FloodStamp.h"
#include "LineFile.h"
#include "RecordFields.h"
#include "RecordLine.h"
#include "StringList.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>

namespace {

std::string NumberText(double value) {
    try {
        return DecimalToText(DecimalFromReal(value));
    } catch (const Exception&) {
        return "?";
    }
}

std::string FieldsText(std::size_t n) { return std::to_string(n) + (n == 1 ? " field" : " fields"); }

class Checker {
public:
    explicit Checker(std::vector<TRecordProblem>& problems) : problems_(problems) {}

    // Opens a file; a file that cannot be opened is its one problem.
    bool Open(LineFile& file, const std::string& name) {
        name_ = name;
        line_ = 0;
        notText_ = false;
        try {
            file.OpenRead(name);
            if (!file.AtEnd()) {
                Next(file);   // the heading
                first_ = text_.substr(0, 2);
            }
            return true;
        } catch (const Exception& e) {
            line_ = 0;
            Report(e.what());
            return false;
        }
    }

    // Whether another line is there to check: not after the end, nor after a
    // line that showed the file is no text (its lines would all be noise).
    bool More(LineFile& file) { return !notText_ && !file.AtEnd(); }

    std::string_view Next(LineFile& file) {
        file.ReadLine(text_);
        ++line_;
        if (file.LastLineHadNul() && !notText_) {
            notText_ = true;
            ReportAt(0, NotTextReason(line_ == 1 ? std::string_view(text_) : std::string_view(first_), text_));
            return {};
        }
        return TrimText(text_);
    }

    // After the last line: a file that held no line after its heading, and
    // one whose lines end with CR alone (all one line to the reader).
    void ReportEnd(const LineFile& file, bool noRecords) {
        if (notText_) return;
        const char* crAlone = "its lines end with CR alone, which the reader does not take as line ends";
        if (noRecords)
            ReportAt(0, std::string("no records: ") +
                            (file.LinesEndWithCrAlone() ? crAlone : "the file has no line after its heading"));
        else if (file.LinesEndWithCrAlone())
            ReportAt(0, crAlone);
    }

    void Report(std::string message) { ReportAt(line_, std::move(message)); }
    void ReportAt(std::int64_t line, std::string message) { problems_.push_back({name_, line, std::move(message)}); }

    // The number in a field, or nothing (and the problem said) when it is none.
    std::optional<double> Number(std::string_view text) {
        try {
            return DecimalToReal(DecimalFromText(text));
        } catch (const Exception& e) {
            Report(e.what());
            return std::nullopt;
        }
    }

    std::int64_t Line() const { return line_; }

private:
    std::vector<TRecordProblem>& problems_;
    std::string name_;
    std::int64_t line_ = 0;
    std::string text_;
    std::string first_;   // the first line's first bytes: a byte-order mark?
    bool notText_ = false;
};

// No reservoir's outflow or loss reaches this (the Amazon's mouth carries
// some 200,000 m^3/s), nor is a record's step this long: such values are
// typing or unit errors, and summed over a flood they go beyond every number
// a result can show.
constexpr double kLargestFlow = 1000000.0;
constexpr double kLongestStepDays = 100 * 365.25;

std::vector<TCurvePoint> CheckCurve(Checker& check, const std::string& fileName) {
    std::vector<TCurvePoint> points;
    LineFile file;
    if (!check.Open(file, fileName)) return points;
    std::vector<std::string_view> pieces;
    std::int64_t lastLine = 0;
    while (check.More(file)) {
        const std::string_view line = check.Next(file);
        if (file.LastLineHadNul()) break;
        SplitFields(line, pieces);
        if (pieces.size() < 2) {
            check.Report("expected level,storage: found " + FieldsText(pieces.size()));
            continue;
        }
        const std::optional<double> level = check.Number(pieces[0]);
        const std::optional<double> storage = check.Number(pieces[1]);
        if (!level || !storage) continue;
        if (!points.empty() && *level < points.back().Z)
            check.Report("level " + NumberText(*level) + " m is below the level of line " + std::to_string(lastLine) +
                         " (" + NumberText(points.back().Z) + " m): the curve's levels must rise");
        points.push_back({*level, *storage});
        lastLine = check.Line();
    }
    check.ReportEnd(file, false);
    file.Close();
    if (points.size() < 2) check.ReportAt(0, "the curve has fewer than two points");
    return points;
}

void CheckFlood(Checker& check, const std::string& fileName, const std::vector<TCurvePoint>& curve,
                const TRecordCheckOptions& options) {
    LineFile file;
    if (!check.Open(file, fileName)) return;
    const TCurveLookup lookup(curve);
    TFloodStampReader stamps;
    std::vector<std::string_view> pieces;
    struct Step {
        double days;
        std::int64_t line;
    };
    std::vector<Step> steps;
    std::optional<long double> lastStamp;   // the moment of the latest record so far
    std::int64_t lastStampLine = 0;
    bool records = false;
    // A flow no river carries, as a warning.
    auto flow = [&](std::optional<double> value, const std::string& what) {
        if (value && std::fabs(*value) > kLargestFlow)
            check.Report("warning: " + what + " " + NumberText(*value) +
                         " m^3/s is more than any river carries (1000000 m^3/s)");
    };
    while (check.More(file)) {
        const std::string_view line = check.Next(file);
        if (file.LastLineHadNul()) break;
        records = true;
        SplitFields(line, pieces);
        if (pieces.size() < 3) {
            check.Report("expected time,level,outflow: found " + FieldsText(pieces.size()));
            continue;
        }
        std::optional<double> stamp;
        try {
            stamp = stamps.Read(pieces[0]);
        } catch (const Exception& e) {
            check.Report(e.what());
        }
        if (const std::optional<double> level = check.Number(pieces[1]); level && curve.size() >= 2) {
            double storage = 0;
            if (!lookup.TryStorage(*level, storage)) {
                try {
                    lookup.Storage(*level);
                } catch (const Exception& e) {
                    check.Report(e.what());
                }
            }
        }
        flow(check.Number(pieces[2]), "outflow");
        // The loss fields as the computation will read them.
        const std::string_view afterOutflow = TextAfterOutflow(line);
        for (int f : options.lossFields) {
            std::string_view text;
            if (!LossFieldText(afterOutflow, f, text))
                check.Report("no field " + std::to_string(f) + " (losses): found " + FieldsText(pieces.size()));
            else
                flow(check.Number(text), "field " + std::to_string(f) + " (losses)");
        }
        if (!stamp) continue;
        // Compared as moments: before 1899-12-30 a stored stamp is its date
        // minus its time of day.
        const long double moment = ElapsedDays(*stamp);
        if (lastStamp) {
            if (moment == *lastStamp) {
                check.Report("time stamp repeats line " + std::to_string(lastStampLine) + "'s");
            } else if (moment < *lastStamp) {
                check.Report("time stamp is earlier than line " + std::to_string(lastStampLine) + "'s (out of order)");
            } else {
                const double days = static_cast<double>(moment - *lastStamp);
                steps.push_back({days, check.Line()});
                if (days > kLongestStepDays)
                    check.Report("warning: a step of " + NumberText(days / 365.25) + " years from line " +
                                 std::to_string(lastStampLine) + ", longer than any record's (100 years)");
            }
        }
        if (!lastStamp || moment > *lastStamp) {
            lastStamp = moment;
            lastStampLine = check.Line();
        }
    }
    check.ReportEnd(file, !records);
    file.Close();

    if (steps.size() < 2) return;
    std::vector<double> lengths(steps.size());
    std::transform(steps.begin(), steps.end(), lengths.begin(), [](const Step& s) { return s.days; });
    const auto middle = lengths.begin() + static_cast<std::ptrdiff_t>(lengths.size() / 2);
    std::nth_element(lengths.begin(), middle, lengths.end());
    const double usual = *middle;
    for (const Step& s : steps) {
        if (s.days > options.gapFactor * usual)
            check.ReportAt(s.line, std::string("gap: a step of ") + NumberText(s.days * 24) + " h, where the record's usual step is " +
                         NumberText(usual * 24) + " h");
    }
}

} // namespace

std::vector<TRecordProblem> CheckRecordFiles(const std::string& curveFile, const std::string& floodFile,
                                             const TRecordCheckOptions& options) {
    std::vector<TRecordProblem> problems;
    Checker check(problems);
    const std::vector<TCurvePoint> curve = CheckCurve(check, curveFile);
    if (!floodFile.empty()) {
        // The gaps are found after the whole record is read: keep every
        // file's problems in line order.
        const std::size_t floodStart = problems.size();
        CheckFlood(check, floodFile, curve, options);
        std::stable_sort(problems.begin() + static_cast<std::ptrdiff_t>(floodStart), problems.end(),
                         [](const TRecordProblem& a, const TRecordProblem& b) { return a.line < b.line; });
    }
    return problems;
}

std::string ProblemText(const TRecordProblem& problem) {
    if (problem.line == 0) return problem.file + ": " + problem.message;
    return problem.file + ":" + std::to_string(problem.line) + ": " + problem.message;
}
