// The workbook layer for scripts of other programs (openpyxl_check.py):
//   workbook_probe dump NAME        the sheet's cells as JSON
//   workbook_probe sample OUT.xlsx  writes a sample document; its cells as JSON
// Numbers go out with 17 digits, so the script compares doubles exactly.

#include "Workbook.h"

#include <cmath>
#include <cstdio>
#include <iostream>
#include <random>
#include <sstream>

namespace {

std::string Json(const std::string& s) {
    std::string out = "\"";
    for (const unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string Real(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

// A stamp as [year, month, day, hour, minute, second, millisecond].
std::string Stamp(double v) {
    const StampParts p = SplitStamp(v);
    std::ostringstream o;
    o << "[" << p.year << "," << p.month << "," << p.day << "," << p.hour << "," << p.minute << "," << p.second
      << "," << p.millisecond << "]";
    return o.str();
}

int Dump(const std::string& name) {
    const workbook::Sheet sheet = workbook::ReadSheet(workbook::SplitWorkbookName(name));
    static const char* types[] = {"empty", "number", "text", "boolean", "error"};
    std::cout << "{\"name\":" << Json(sheet.name) << ",\"date1904\":" << (sheet.date1904 ? "true" : "false")
              << ",\"cells\":[";
    const char* sep = "";
    for (const auto& row : sheet.rows)
        for (const auto& c : row.cells) {
            std::cout << sep << "[" << row.number << "," << c.column << ",\"" << types[static_cast<int>(c.type)]
                      << "\"," << (c.date ? "true" : "false") << "," << Real(c.number) << "," << Json(c.text)
                      << "," << (c.date ? Stamp(c.number) : "null") << "]";
            sep = ",\n";
        }
    std::cout << "]}\n";
    return 0;
}

// Texts, numbers of the kinds the program writes, and times, on sheets
// with the batch mode's Chinese names.
int Sample(const std::string& path) {
    std::mt19937_64 random(20240724);
    const std::vector<std::string> texts = {"流量 (m³/s)", "level", "  spaced  ", "a<b>&\"c\"", "tab\there",
                                            "line\nbreak", "", "摘要", "x"};
    workbook::OutDocument doc;
    std::ostringstream expected;
    expected << "[";
    const char* names[] = {"计算表", "摘要", "修正", "过程线"};
    for (int s = 0; s < 4; ++s) {
        workbook::OutSheet sheet;
        sheet.name = names[s];
        sheet.columnWidths = {20, 12};
        std::vector<std::vector<workbook::OutCell>> cells(40);
        expected << (s ? "," : "") << "{\"name\":" << Json(sheet.name) << ",\"cells\":[";
        const char* sep = "";
        for (int r = 0; r < 40; ++r) {
            for (int c = 0; c < 5; ++c) {
                workbook::OutCell cell;
                switch (random() % 5) {
                case 0: break; // left empty
                case 1: {
                    // A four-decimal value, as the result file has them.
                    const auto units = static_cast<long long>(random() % 20000000000LL) - 10000000000LL;
                    cell = workbook::OutCell::Num(static_cast<double>(units) / 10000.0);
                    break;
                }
                case 2: cell = workbook::OutCell::Num(std::ldexp(static_cast<double>(random() % 100000), -7)); break;
                case 3: cell = workbook::OutCell::Txt(texts[random() % texts.size()]); break;
                case 4: {
                    // Whole seconds from 1950 to 2049.
                    const double day = 18264 + static_cast<double>(random() % 36500);
                    const double second = static_cast<double>(random() % 86400);
                    cell = workbook::OutCell::Time(day + second / 86400.0);
                    break;
                }
                }
                if (cell.kind != workbook::OutCell::Kind::Empty) {
                    expected << sep << "[" << r + 1 << "," << c + 1 << ",";
                    if (cell.kind == workbook::OutCell::Kind::Number) expected << "\"number\"," << Real(cell.number);
                    else if (cell.kind == workbook::OutCell::Kind::Text) expected << "\"text\"," << Json(cell.text);
                    else expected << "\"date\"," << Stamp(cell.number);
                    expected << "]";
                    sep = ",\n";
                }
                cells[static_cast<std::size_t>(r)].push_back(cell);
            }
        }
        expected << "]}";
        sheet.SetCells(std::move(cells));
        doc.sheets.push_back(std::move(sheet));
    }
    expected << "]\n";
    workbook::WriteWorkbook(doc, path);
    std::cout << expected.str();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[1] : "";
    try {
        if (mode == "dump") return Dump(argv[2]);
        if (mode == "sample") return Sample(argv[2]);
    } catch (const std::exception& e) {
        std::cerr << "workbook_probe: " << e.what() << "\n";
        return 1;
    }
    std::cerr << "usage: workbook_probe dump NAME | sample OUT.xlsx\n";
    return 2;
}
