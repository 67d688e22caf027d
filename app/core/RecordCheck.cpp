#include "RecordCheck.h"

#include "Currency.h"
#include "CurveLookup.h"
#include "Exceptions.h"
#include "FloodStamp.h"
#include "LineFile.h"
#include "LineSource.h"
#include "OptionText.h"
#include "RecordFields.h"
#include "RecordLine.h"
#include "RecordReader.h"
#include "Plausibility.h"
#include "StringList.h"

#include <algorithm>
#include <iterator>
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
    bool Open(std::unique_ptr<TLineSource>& file, const std::string& name, const std::optional<TColumnOption>& columns) {
        name_ = name;
        line_ = 0;
        headingLine_ = 1;
        notText_ = false;
        try {
            file = OpenLineSource(name);
            if (!file->AtEnd()) {
                // A heading the columns name but no line holds is the
                // reader's to refuse, at the first line.
                try {
                    ReadHeadingLine(*file, columns, name, text_, &headingLine_);
                } catch (const EOptionError&) {
                }
                line_ = headingLine_;
                if (file->LastLineHadNul() && !notText_) {
                    notText_ = true;
                    ReportAt(0, NotTextReason(text_, text_));
                }
                first_ = text_.substr(0, 2);
                heading_ = text_;
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
    bool More(TLineSource& file) { return !notText_ && !file.AtEnd(); }

    std::string_view Next(TLineSource& file) {
        file.ReadLine(text_);
        line_ = file.LineNumber();
        if (file.LastLineHadNul() && !notText_) {
            notText_ = true;
            ReportAt(0, NotTextReason(line_ == 1 ? std::string_view(text_) : std::string_view(first_), text_));
            return {};
        }
        return TrimText(text_);
    }

    // After the last line: a file that held no line after its heading, and
    // one whose lines end with CR alone (all one line to the reader).
    void ReportEnd(const TLineSource& file, bool noRecords) {
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
    void Note(std::int64_t line, std::string message) { problems_.push_back({name_, line, std::move(message), true}); }

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
    std::size_t Count() const { return problems_.size(); }
    // Problems set aside (the lines may be notes) and brought back.
    void MoveSince(std::size_t from, std::vector<TRecordProblem>& aside) {
        std::move(problems_.begin() + static_cast<std::ptrdiff_t>(from), problems_.end(), std::back_inserter(aside));
        problems_.resize(from);
    }
    void Restore(std::vector<TRecordProblem>& aside) {
        std::move(aside.begin(), aside.end(), std::back_inserter(problems_));
        aside.clear();
    }
    std::string_view HeadingLine() const { return heading_; }
    std::int64_t HeadingLineNumber() const { return headingLine_; }

private:
    std::vector<TRecordProblem>& problems_;
    std::string name_;
    std::int64_t line_ = 0;
    std::int64_t headingLine_ = 1;
    std::string text_;
    std::string first_;   // the first line's first bytes: a byte-order mark?
    std::string heading_;
    bool notText_ = false;
};

// No reservoir's outflow or loss reaches this (the Amazon's mouth carries
// some 200,000 m^3/s), nor is a record's step this long: such values are
// typing or unit errors, and summed over a flood they go beyond every number
// a result can show.
constexpr double kLargestFlow = 1000000.0;
constexpr double kLongestStepDays = 100 * 365.25;

// The columns a format names, for "expected ..." messages: "level,storage"
// for the plain reading, the fields needed otherwise.
std::string Expected(const char* plain, const std::optional<TColumnOption>& columns, std::size_t needed) {
    if (!columns) return plain;
    return std::to_string(needed) + " fields (" + std::string(columns->name) + ")";
}

// The heading line of a file whose columns are named: a heading not found is
// the file's one problem.
template <class Reader>
bool ReadHeading(Checker& check, Reader& reader, std::string_view heading, const std::string& fileName) {
    try {
        reader.Heading(heading, fileName);
        return true;
    } catch (const Exception& e) {
        check.ReportAt(check.HeadingLineNumber(), e.what());
        return false;
    }
}

// The faults of the given quantity (of all when none is given).
void Report(Checker& check, const TFieldFaults& faults, std::optional<TRecordQuantity> quantity = std::nullopt) {
    for (const TFieldFault& fault : faults) {
        if (quantity && fault.quantity != *quantity) continue;
        try {
            std::rethrow_exception(fault.error);
        } catch (const std::exception& e) {
            check.Report(e.what());
        }
    }
}

std::vector<TCurvePoint> CheckCurve(Checker& check, const std::string& fileName, const TRecordFormat& format) {
    std::vector<TCurvePoint> points;
    std::unique_ptr<TLineSource> source;
    if (!check.Open(source, fileName, format.columns)) return points;
    TLineSource& file = *source;
    TCurveReader reader(format);
    if (!ReadHeading(check, reader, check.HeadingLine(), fileName)) return points;
    std::vector<std::string_view> pieces;
    std::vector<std::int64_t> lines;
    TFieldFaults faults;
    std::int64_t lastLine = 0;
    while (check.More(file)) {
        const std::string_view line = check.Next(file);
        if (file.LastLineHadNul()) break;
        SplitFields(line, pieces);
        if (pieces.size() < reader.FieldsNeeded()) {
            check.Report("expected " + Expected("level,storage", format.columns, reader.FieldsNeeded()) + ": found " +
                         FieldsText(pieces.size()));
            continue;
        }
        TCurvePoint point;
        faults.clear();
        if (!reader.Read(pieces, point, faults)) {
            Report(check, faults);
            continue;
        }
        if (!points.empty() && point.Z < points.back().Z)
            check.Report("level " + NumberText(point.Z) + " m is below the level of line " + std::to_string(lastLine) +
                         " (" + NumberText(points.back().Z) + " m): the curve's levels must rise");
        points.push_back(point);
        lines.push_back(check.Line());
        lastLine = check.Line();
    }
    check.ReportEnd(file, false);
    file.Close();
    if (points.size() < 2) check.ReportAt(0, "the curve has fewer than two points");
    // A row far beyond the table's usual step: a sentinel, not a survey.
    std::vector<double> storages(points.size());
    std::transform(points.begin(), points.end(), storages.begin(), [](const TCurvePoint& p) { return p.V; });
    for (const TStorageStepOutlier& outlier : StorageStepOutliers(storages))
        check.ReportAt(lines[outlier.point], "warning: " + StorageStepWarning(outlier));
    return points;
}

void CheckFlood(Checker& check, const std::string& fileName, const std::vector<std::vector<TCurvePoint>>& curves,
                const std::optional<TCurveSchedule>& schedule, const TRecordCheckOptions& options) {
    std::unique_ptr<TLineSource> source;
    if (!check.Open(source, fileName, options.format.columns)) return;
    TLineSource& file = *source;
    TFloodReader reader(options.format);
    if (!ReadHeading(check, reader, check.HeadingLine(), fileName)) return;
    std::vector<TCurveLookup> lookups;
    for (const auto& points : curves) lookups.emplace_back(points);
    std::vector<DateTimeValue> times;
    std::vector<std::int64_t> timeLines;
    std::vector<std::string_view> pieces;
    struct Step {
        double days;
        std::int64_t line;
    };
    std::vector<Step> steps;
    std::optional<long double> lastStamp;   // the moment of the latest record so far
    std::int64_t lastStampLine = 0;
    bool records = false;
    TFloodLine read;
    // Mapped losses are fields 4, 5... of what the reader keeps.
    std::vector<int> lossFields = options.lossFields;
    for (std::size_t k = 0; k < reader.MappedLosses(); ++k) lossFields.push_back(kFirstLossField + static_cast<int>(k));
    std::string lossScratch;
    // Problems of lines that may be the notes at the end: told only when a
    // record follows them.
    std::vector<TRecordProblem> held;
    std::int64_t heldFirst = 0;
    std::size_t heldCount = 0;
    // A flow no river carries, as a warning.
    auto flow = [&](double value, const std::string& what) {
        if (std::fabs(value) > kLargestFlow)
            check.Report("warning: " + what + " " + NumberText(value) +
                         " m^3/s is more than any river carries (1000000 m^3/s)");
    };
    while (check.More(file)) {
        const std::string_view line = check.Next(file);
        if (file.LastLineHadNul()) break;
        records = true;
        SplitFields(line, pieces);
        const bool enough = pieces.size() >= reader.FieldsNeeded();
        DateTimeValue timeCell;
        const bool dated = file.FieldStamp(reader.TimeField(), timeCell);
        if (enough) reader.Read(pieces, read, dated ? &timeCell : nullptr);
        const std::size_t before = check.Count();
        // Each field's problem in field order, a level outside the curve
        // right after the level's.
        if (!enough) {
            check.Report("expected " + Expected("time,level,outflow", options.format.columns, reader.FieldsNeeded()) +
                         ": found " + FieldsText(pieces.size()));
        } else {
            Report(check, read.faults, TRecordQuantity::Time);
            Report(check, read.faults, TRecordQuantity::Level);
            // On the curve of the record's day, when there are several.
            std::optional<std::size_t> k = 0;
            if (schedule && read.stamped) k = schedule->CurveAt(read.step.T);
            if (schedule && read.stamped && !k) check.Report(schedule->NoCurveMessage(read.step.T));
            if (read.levelRead && k && curves[*k].size() >= 2 && (!schedule || read.stamped)) {
                double storage = 0;
                if (!lookups[*k].TryStorage(read.step.Z, storage)) {
                    try {
                        lookups[*k].Storage(read.step.Z);
                    } catch (const Exception& e) {
                        check.Report(e.what() + (schedule ? " (the curve of " + DayText(StampDay(read.step.T)) + ", " +
                                                                schedule->Curves()[*k].file + ")"
                                                          : std::string()));
                    }
                }
            }
            Report(check, read.faults, TRecordQuantity::Outflow);
            if (read.outflowRead) flow(read.step.Qout, "outflow");
            Report(check, read.faults, TRecordQuantity::Loss);
        }
        if (reader.Mapped()) {
            DateTimeValue value;
            const bool stamped = enough ? read.stamped
                                        : dated || (reader.TimeField() < pieces.size() &&
                                                    reader.IsStamp(pieces[reader.TimeField()], value));
            if (!stamped && check.Count() > before) {
                // Possibly notes: set aside until a record follows.
                if (!heldFirst) heldFirst = check.Line();
                ++heldCount;
                check.MoveSince(before, held);
                continue;
            }
            if (heldFirst) {
                check.Restore(held);
                heldFirst = 0;
                heldCount = 0;
            }
        }
        if (!enough) continue;
        if (!read.skipped.empty()) {
            check.Report("warning: skipped: " + read.skipped);
            continue;
        }
        // The loss fields as the computation will read them.
        const std::string_view afterOutflow = reader.LossText(line, pieces, lossScratch);
        for (int f : lossFields) {
            std::string_view text;
            if (!LossFieldText(afterOutflow, f, text)) {
                check.Report("no field " + std::to_string(f) + " (losses): found " + FieldsText(pieces.size()));
            } else if (const std::optional<double> loss = check.Number(text); loss && !IsVolume(reader.Units().loss)) {
                // A volume has no rate until the step is known.
                flow(FromUnit(DecimalFromText(text), UnitFactor(reader.Units().loss)), "field " + std::to_string(f) + " (losses)");
            }
        }
        if (!read.stamped) continue;
        const double stamp = read.step.T;
        if (schedule) {
            times.push_back(stamp);
            timeLines.push_back(check.Line());
        }
        // Compared as moments: before 1899-12-30 a stored stamp is its date
        // minus its time of day.
        const long double moment = ElapsedDays(stamp);
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

    if (schedule)
        for (const TCurveSpan& span : CurveSpans(*schedule, times)) {
            if (!span.curve) continue;
            check.Note(timeLines[span.firstRecord],
                       "lines " + std::to_string(timeLines[span.firstRecord]) + " to " +
                           std::to_string(timeLines[span.lastRecord]) + " (" + DayText(StampDay(times[span.firstRecord])) +
                           " to " + DayText(StampDay(times[span.lastRecord])) + ") use the curve " +
                           schedule->Curves()[*span.curve].file);
        }
    if (heldFirst)
        check.ReportAt(heldFirst, "warning: " + std::to_string(heldCount) +
                                      " lines at the end taken as notes and ignored (their time field is no time stamp)");
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
    std::vector<std::vector<TCurvePoint>> curves{CheckCurve(check, curveFile, options.curveFormat)};
    std::optional<TCurveSchedule> schedule;
    if (!options.datedCurves.empty()) {
        std::vector<TCurveArgument> args{{curveFile, options.curveFrom}};
        for (const TCurveArgument& c : options.datedCurves) {
            curves.push_back(CheckCurve(check, c.file, options.curveFormat));
            args.push_back(c);
        }
        schedule.emplace(std::move(args));
    }
    if (!floodFile.empty()) {
        // The gaps are found after the whole record is read: keep every
        // file's problems in line order.
        const std::size_t floodStart = problems.size();
        CheckFlood(check, floodFile, curves, schedule, options);
        std::stable_sort(problems.begin() + static_cast<std::ptrdiff_t>(floodStart), problems.end(),
                         [](const TRecordProblem& a, const TRecordProblem& b) { return a.line < b.line; });
    }
    return problems;
}

std::string ProblemText(const TRecordProblem& problem) {
    if (problem.line == 0) return problem.file + ": " + problem.message;
    return problem.file + ":" + std::to_string(problem.line) + ": " + problem.message;
}
