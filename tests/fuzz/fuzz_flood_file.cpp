// The flood record reader on arbitrary file contents, with an arbitrary curve
// as well, then the computation and the result file, through the window's
// work. Input: a byte choosing the locale record, then the curve file, a 0x1E
// byte, and the flood file; without that byte the whole rest is the flood
// file and the curve is the example one.

#include "FuzzInflow.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

constexpr char kExampleCurve[] =
    "level,storage\n495,1.58\n496,1.66\n497,1.74\n498,1.825\n499,1.91\n500,2\n"
    "510,3.1\n520,4.45\n524,5.06\n525,5.22\n526,5.39\n530,6.1\n";

std::array<LocaleFormats, 5>& Records() {
    static std::array<LocaleFormats, 5> records{
        fuzz::IsoFormats('-'),
        fuzz::IsoFormats(':'),
        LocaleFormats{},
        TranslateLocale(locale_samples::DeDe()),
        TranslateLocale(locale_samples::ZhCn()),
    };
    return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    fuzz::UseFormats(Records()[data[0] % Records().size()]);
    const fuzz::InflowFiles& files = fuzz::Files();
    const std::uint8_t* rest = data + 1;
    const std::size_t restSize = size - 1;
    const void* separator = std::memchr(rest, 0x1E, restSize);
    if (separator) {
        const std::size_t curveSize = static_cast<std::size_t>(static_cast<const std::uint8_t*>(separator) - rest);
        fuzz::WriteBytes(files.curve, rest, curveSize);
        fuzz::WriteBytes(files.flood, rest + curveSize + 1, restSize - curveSize - 1);
    } else {
        fuzz::WriteBytes(files.curve, reinterpret_cast<const std::uint8_t*>(kExampleCurve), sizeof kExampleCurve - 1);
        fuzz::WriteBytes(files.flood, rest, restSize);
    }
    fuzz::RunInflow();
    return 0;
}
