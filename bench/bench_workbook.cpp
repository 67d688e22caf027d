// Times the workbook layer on a sheet of the size of the largest results
// (a time and eight numbers per row, a million rows), each step in a process
// of its own so that its peak memory is its own:
//   bench_workbook write FILE ROWS    writes the sheet
//   bench_workbook stream NAME        reads it row by row (ReadSheetRows)
//   bench_workbook whole NAME         reads it into cells (ReadSheet)
// Prints one line: step, seconds, cells, peak resident memory in MiB.

#include "Workbook.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/resource.h>

namespace {

double PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_workbook write FILE ROWS | stream NAME | whole NAME\n");
        return 2;
    }
    const std::string step = argv[1];
    const auto start = std::chrono::steady_clock::now();
    std::size_t cells = 0;
    try {
        if (step == "write" && argc == 4) {
            workbook::OutDocument doc;
            workbook::OutSheet& sheet = doc.sheets.emplace_back();
            sheet.name = "计算表";
            sheet.rows = std::atoi(argv[3]) + 1;
            sheet.columns = 9;
            sheet.columnWidths = {20};
            // A record every three hours from 2024-07-24; four-decimal values.
            sheet.cell = [](int r, int c) {
                if (r == 0) return workbook::OutCell::Txt("column " + std::to_string(c + 1));
                if (c == 0) return workbook::OutCell::Time(45497 + (r - 1) / 8.0);
                return workbook::OutCell::Num(static_cast<double>((r * 7919LL + c * 104729LL) % 100000000) / 10000.0);
            };
            cells = static_cast<std::size_t>(sheet.rows) * 9;
            workbook::WriteWorkbook(doc, argv[2]);
        } else if (step == "stream") {
            workbook::ReadSheetRows(workbook::SplitWorkbookName(argv[2]), nullptr,
                                    [&cells](const workbook::Row& row) { cells += row.cells.size(); });
        } else if (step == "whole") {
            const workbook::Sheet sheet = workbook::ReadSheet(workbook::SplitWorkbookName(argv[2]));
            for (const auto& row : sheet.rows) cells += row.cells.size();
        } else {
            std::fprintf(stderr, "bench_workbook: unknown step %s\n", step.c_str());
            return 2;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_workbook: %s\n", e.what());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-8s %8.3f s  %10zu cells  %8.1f MiB peak\n", step.c_str(), seconds, cells, PeakMiB());
    return 0;
}
