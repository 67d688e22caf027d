// StampPattern with arbitrary patterns and stamps. Input: a byte choosing the
// locale record, eight bytes of the stamp (a double, any bits), then the
// pattern. Besides surviving every pattern: the result writer's reused stamp
// texts agree with StampToText for the stamp and for the doubles the
// pattern's bytes spell, and, under ISO dates, a stamp written by StampToText
// reads back as the same second.

#include "DateTime.h"
#include "FloodStamp.h"
#include "FuzzSupport.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::array<LocaleFormats, 5>& Records() {
    static std::array<LocaleFormats, 5> records{
        fuzz::IsoFormats(':'),
        LocaleFormats{},
        TranslateLocale(locale_samples::EnUs()),
        TranslateLocale(locale_samples::DeDe()),
        TranslateLocale(locale_samples::ZhCn()),
    };
    return records;
}

double DoubleAt(const std::uint8_t* bytes) {
    double value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9) return 0;
    const std::size_t which = data[0] % Records().size();
    fuzz::UseFormats(Records()[which]);
    const DateTimeValue value = DoubleAt(data + 1);
    const std::string_view pattern(reinterpret_cast<const char*>(data + 9), size - 9);

    // Appending leaves what was there and adds what StampPattern gives.
    std::string appended = "prefix";
    AppendStampPattern(appended, pattern, value);
    FUZZ_CHECK(appended == "prefix" + StampPattern(pattern, value));

    std::vector<DateTimeValue> values{value};
    for (std::size_t at = 9; at + 8 <= size && values.size() < 8; at += 8) values.push_back(DoubleAt(data + at));
    TStampTexts texts;
    for (const DateTimeValue v : values) {
        std::string reused;
        texts.Append(reused, v);
        FUZZ_CHECK(reused == StampToText(v));
    }

    if (which == 0 && std::isfinite(value)) {
        const StampParts parts = SplitStamp(value);
        DateTimeValue date = 0;
        if (parts.year < 1 || parts.year > 9999) return 0;
        double time = 0;
        FUZZ_CHECK(TryEncodeDate(static_cast<int>(parts.year), parts.month, parts.day, date));
        FUZZ_CHECK(TryEncodeTime(parts.hour, parts.minute, parts.second, 0, time));
        const std::string text = StampToText(value);
        // The time of day shows exactly when it is not midnight to the second.
        FUZZ_CHECK((text.size() == 10) == (parts.hour == 0 && parts.minute == 0 && parts.second == 0));
        FUZZ_CHECK(StampFromText(text) == CombineDateTime(date, time));
    }
    return 0;
}
