// The curve reader on arbitrary file contents, then a flood record made from
// the curve's own cells (so that the computation finds levels on the curve),
// the computation and the result file, all through the window's work.

#include "FuzzInflow.h"

#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const LocaleFormats iso = fuzz::IsoFormats(':');
    fuzz::UseFormats(iso);
    const fuzz::InflowFiles& files = fuzz::Files();
    fuzz::WriteBytes(files.curve, data, size);

    // A record per curve row, an hour apart: the row's level text, and its
    // storage text as the outflow. Rows the curve reader could not fill give
    // no record.
    InflowWork reader;
    reader.ResetCurveTable();
    try {
        reader.ReadCurve(files.curve);
    } catch (const Exception&) {
    }
    std::string flood = "heading\n";
    const int rows = std::min(reader.StringGrid2.RowCount(), 2 + 60);
    for (int r = 2; r < rows; ++r) {
        if (reader.StringGrid2.Cell(0, r).empty()) break;
        char stamp[32];
        const int hour = r - 2;
        std::snprintf(stamp, sizeof stamp, "2007-07-%02d %02d-00-00,", 29 + hour / 24, hour % 24);
        flood += stamp;
        flood += reader.StringGrid2.Cell(0, r);
        flood += ',';
        flood += reader.StringGrid2.Cell(1, r);
        flood += '\n';
    }
    fuzz::WriteBytes(files.flood, reinterpret_cast<const std::uint8_t*>(flood.data()), flood.size());

    fuzz::RunInflow();
    return 0;
}
