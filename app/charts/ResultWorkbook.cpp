#include "ResultWorkbook.h"

#include "ChartExport.h"
#include "Currency.h"
#include "FloodSummary.h"
#include "InflowWork.h"
#include "LineFile.h"

#include <algorithm>
#include <array>
#include <climits>
#include <memory>

namespace {

using workbook::OutCell;
using workbook::OutSheet;

constexpr int kResultColumns = 9;

// The number the text files write for a value: its four-decimal text read back.
double FileNumber(double value) { return DecimalToReal(DecimalFromReal(value)); }

// The result file pads its headings with blanks to line them up; a cell
// needs none around its text.
std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

OutSheet ResultSheet(const InflowWork& work) {
    OutSheet sheet;
    sheet.name = "计算表";
    sheet.columnWidths = {20, 10, 12, 12, 9, 11, 12, 14, 14};
    sheet.columns = kResultColumns;
    const std::size_t records = work.ResultRecords();
    // A record longer than a sheet holds is refused by the writer, by its length.
    sheet.rows = static_cast<int>(std::min<std::size_t>(records + 2, INT_MAX));
    const std::vector<TFloodStep>* steps = &work.FloodSteps;
    // Rows are asked for in order, cell by cell; each record's numbers are
    // made once for its nine cells.
    auto row = std::make_shared<std::pair<int, std::array<double, 8>>>(-1, std::array<double, 8>{});
    sheet.cell = [steps, row](int r, int c) -> OutCell {
        if (r < 2) return OutCell::Txt(Trimmed(InflowWork::ResultHeading(r, c)));
        const TFloodStep& s = (*steps)[static_cast<std::size_t>(r - 2)];
        if (c == 0) return OutCell::Time(s.T);
        if (row->first != r) {
            row->first = r;
            std::size_t k = 0;
            for (const double value : {s.Z, s.V, s.dV, s.dt, s.dVdt, s.Qout, s.qMean, s.Qin})
                row->second[k++] = FileNumber(value);
        }
        return OutCell::Num(row->second[static_cast<std::size_t>(c - 1)]);
    };
    return sheet;
}

OutSheet SummarySheet(const TFloodSummary& summary, const TRecordUnits& units) {
    OutSheet sheet;
    sheet.name = "摘要";
    sheet.columnWidths = {26, 24, 16, 10, 20};
    std::vector<std::vector<OutCell>> cells;
    cells.push_back({OutCell::Txt("项目"), OutCell::Txt("名称"), OutCell::Txt("数值"), OutCell::Txt("单位"),
                     OutCell::Txt("时间")});
    for (const TSummaryItem& item : SummaryItems(summary, units)) {
        std::vector<OutCell>& line = cells.emplace_back();
        line.push_back(OutCell::Txt(item.name));
        line.push_back(OutCell::Txt(item.caption));
        if (item.count) line.push_back(OutCell::Num(static_cast<double>(*item.count)));
        else if (item.value) line.push_back(OutCell::Num(SummaryNumber(item)));
        else line.push_back({});
        line.push_back(OutCell::Txt(item.unit));
        line.push_back(item.time ? OutCell::Time(*item.time) : OutCell{});
    }
    sheet.SetCells(std::move(cells));
    return sheet;
}

// The corrected-inflow file's lines: each record after the first.
OutSheet CorrectedSheet(const InflowWork& work, const std::vector<double>& corrected) {
    OutSheet sheet;
    sheet.name = "修正";
    sheet.columnWidths = {20, 16, 16};
    std::vector<std::vector<OutCell>> cells;
    cells.push_back({OutCell::Txt(Trimmed(InflowWork::ResultHeading(0, 0))),
                     OutCell::Txt(InflowWork::ResultHeading(0, 8)), OutCell::Txt("修正入库流量Q入")});
    cells.push_back({OutCell::Txt("yyyy-mm-dd hh:mm:ss"), OutCell::Txt("m^3/s"), OutCell::Txt("m^3/s")});
    const std::size_t n = std::min(work.ComputedRecords, work.FloodSteps.size());
    for (std::size_t i = 1; i < n; ++i) {
        const TFloodStep& s = work.FloodSteps[i];
        const double q = i - 1 < corrected.size() ? corrected[i - 1] : s.Qin;
        cells.push_back({OutCell::Time(s.T), OutCell::Num(FileNumber(s.Qin)), OutCell::Num(FileNumber(q))});
    }
    sheet.SetCells(std::move(cells));
    return sheet;
}

}  // namespace

std::string HydrographPng(const InflowWork& work, const TFloodRun& run, const THydrographChecks& checks) {
    THydrographExport hydrograph;
    hydrograph.Show(work.FloodSteps, work.ComputedRecords, run.corrected, checks);
    return hydrograph.PngBytes();
}

workbook::OutDocument ResultDocument(const TResultWorkbookSource& source) {
    workbook::OutDocument document;
    document.sheets.push_back(ResultSheet(source.work));
    if (source.run.summaryError) std::rethrow_exception(source.run.summaryError);
    if (source.run.summary) document.sheets.push_back(SummarySheet(*source.run.summary, source.summaryUnits));
    if (source.correctionChosen) document.sheets.push_back(CorrectedSheet(source.work, source.run.corrected));
    OutSheet& picture = document.sheets.emplace_back();
    picture.name = "过程线";
    picture.pictures.push_back({1, 1, source.hydrographPng, 1.0});
    return document;
}

void WriteResultWorkbook(LineFile& file, const TResultWorkbookSource& source) {
    workbook::WriteWorkbook(ResultDocument(source), file);
}

void WriteResultWorkbook(const std::string& fileName, const TResultWorkbookSource& source) {
    LineFile file;
    // The channel's destructor removes its temporary when anything fails.
    file.OpenWriteAtomic(fileName, 1 << 16);
    WriteResultWorkbook(file, source);
    file.Close();
}
