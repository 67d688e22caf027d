#include "TidyTable.h"

#include "DateTime.h"
#include "LineFile.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace {

void AppendNumber(std::string& out, double value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    out.append(text, end);
}

void AppendDigits(std::string& out, long long value, int width) {
    char text[24];
    const int n = std::snprintf(text, sizeof text, "%0*lld", width, value);
    out.append(text, static_cast<std::size_t>(n));
}

// 2024-07-24T14:00:00, the milliseconds after a '.' only where there are any.
void AppendIsoTime(std::string& out, DateTimeValue value) {
    const StampParts t = SplitStamp(value);
    AppendDigits(out, t.year, 4);
    out += '-';
    AppendDigits(out, t.month, 2);
    out += '-';
    AppendDigits(out, t.day, 2);
    out += 'T';
    AppendDigits(out, t.hour, 2);
    out += ':';
    AppendDigits(out, t.minute, 2);
    out += ':';
    AppendDigits(out, t.second, 2);
    if (t.millisecond != 0) {
        out += '.';
        AppendDigits(out, t.millisecond, 3);
    }
}

template <class LineDone>
void AppendRows(std::string& out, const TTidyTableSource& s, LineDone lineDone) {
    const TUnitFactor level = UnitFactor(s.units.level);
    const TUnitFactor storage = UnitFactor(s.units.storage);
    const TUnitFactor flow = UnitFactor(s.units.flow);
    const std::size_t n = std::min(s.computed, s.steps.size());
    std::size_t gap = 0;
    // The gaps before record `before` (all that are left, after the last).
    auto gapsBefore = [&](std::size_t before) {
        if (!s.flags) return;
        for (; gap < s.skipped.size() && (s.skipped[gap].before <= before || before == n); ++gap) {
            const TSkippedRow& g = s.skipped[gap];
            AppendIsoTime(out, g.time);
            out += ',';
            if (g.level) AppendNumber(out, ToUnit(*g.level, level));
            out += ",,,,,";
            if (g.outflow) AppendNumber(out, ToUnit(*g.outflow, flow));
            out += ",,";
            if (s.corrected) out += ',';
            if (s.sigma) out += ',';
            out += ',';
            out += FlagName(TRecordFlag::Skipped);
            out += '\n';
            lineDone();
        }
    };
    for (std::size_t i = 0; i < n; ++i) {
        gapsBefore(i);
        const TFloodStep& r = s.steps[i];
        AppendIsoTime(out, r.T);
        out += ',';
        AppendNumber(out, ToUnit(r.Z, level));
        out += ',';
        AppendNumber(out, ToUnit(r.V, storage));
        out += ',';
        // The first record ends no step: what belongs to a step stays empty.
        if (i > 0) {
            AppendNumber(out, ToUnit(r.dV, storage));
            out += ',';
            AppendNumber(out, r.dt);
            out += ',';
            AppendNumber(out, ToUnit(r.dVdt, flow));
        } else {
            out += ",,";
        }
        out += ',';
        AppendNumber(out, ToUnit(r.Qout, flow));
        out += ',';
        if (i > 0) {
            AppendNumber(out, ToUnit(r.qMean, flow));
            out += ',';
            AppendNumber(out, ToUnit(r.Qin, flow));
        } else {
            out += ',';
        }
        if (s.corrected) {
            out += ',';
            if (i > 0 && i - 1 < s.corrected->size()) AppendNumber(out, ToUnit((*s.corrected)[i - 1], flow));
        }
        if (s.sigma) {
            out += ',';
            if (i > 0 && i - 1 < s.sigma->size()) AppendNumber(out, ToUnit((*s.sigma)[i - 1], flow));
        }
        if (s.flags) {
            out += ',';
            if (i < s.flags->size()) out += FlagName((*s.flags)[i]);
        }
        out += '\n';
        lineDone();
    }
    gapsBefore(n);
}

}  // namespace

std::string TidyTableHeading(const TRecordUnits& units, bool withCorrected, bool withSigma, bool withFlags) {
    const std::string level = UnitSuffix(units.level);
    const std::string storage = UnitSuffix(units.storage);
    const std::string flow = UnitSuffix(units.flow);
    std::string heading = "time,level_" + level + ",storage_" + storage + ",storage_change_" + storage +
                          ",step_s,storage_rate_" + flow + ",outflow_" + flow + ",outflow_term_" + flow +
                          ",inflow_" + flow;
    if (withCorrected) heading += ",corrected_inflow_" + flow;
    if (withSigma) heading += ",sigma_" + flow;
    if (withFlags) heading += ",flag";
    return heading + '\n';
}

std::string TidyTableText(const TTidyTableSource& source) {
    std::string text = TidyTableHeading(source.units, source.corrected.has_value(), source.sigma.has_value(), source.flags.has_value());
    AppendRows(text, source, [] {});
    return text;
}

void WriteTidyTable(LineFile& file, const TTidyTableSource& source) {
    file.Write(TidyTableHeading(source.units, source.corrected.has_value(), source.sigma.has_value(), source.flags.has_value()));
    // Made in the channel's buffer, which goes out whenever it is full.
    AppendRows(file.Pending(), source, [&] { file.Commit(); });
}
