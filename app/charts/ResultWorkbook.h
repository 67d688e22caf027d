#pragma once
// The computation as one workbook, for operators who keep their floods in
// Excel: the sheets 计算表 (the result file's nine columns under its two
// heading lines, times as date cells, numbers as the numbers the file
// writes), 摘要 (the summary's items), 修正 (time, inflow and corrected
// inflow, when a correction was chosen) and 过程线 (the hydrograph picture).
// Every number is the one the matching text output writes: the result file's
// and the corrected-inflow file's four-decimal values, the summary's in the
// summary's units.

#include "FloodRun.h"
#include "HydrographChart.h"
#include "RecordUnits.h"
#include "Workbook.h"

#include <string>

class InflowWork;
class LineFile;

struct TResultWorkbookSource {
    const InflowWork& work;            // computed: FloodSteps, ComputedRecords
    const TFloodRun& run;              // with its summary
    bool correctionChosen = false;
    TRecordUnits summaryUnits;
    std::string hydrographPng;         // the picture for 过程线
};

// The document; ESummaryValue (as the summary file) or EConvertError (as the
// result file) for a value that has no four-decimal number.
workbook::OutDocument ResultDocument(const TResultWorkbookSource& source);

// The hydrograph as the page shows it for the run, with the checks' series
// when given, as PNG.
std::string HydrographPng(const InflowWork& work, const TFloodRun& run, const THydrographChecks& checks = {});

// Into a channel open for writing (see workbook::WriteWorkbook).
void WriteResultWorkbook(LineFile& file, const TResultWorkbookSource& source);
// Into fileName, replacing it as a whole or not at all.
void WriteResultWorkbook(const std::string& fileName, const TResultWorkbookSource& source);
