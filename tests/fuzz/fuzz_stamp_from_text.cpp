// StampFromText on arbitrary text under several locale records, the first
// byte choosing the record. A text either fails with the one message or gives
// a stamp that, written at full precision in the record's own date order and
// read again, is the same value to the bit.

#include "DateTime.h"
#include "Exceptions.h"
#include "FuzzSupport.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

struct Record {
    LocaleFormats formats;
    // The stamp at full precision in the record's date order and marks ('/'
    // and ':' stand for them); the milliseconds follow after the decimal mark.
    const char* fullPattern;
};

std::array<Record, 8>& Records() {
    static std::array<Record, 8> records = [] {
        std::array<Record, 8> r;
        r[0] = {LocaleFormats{}, "mm/dd/yyyy hh:nn:ss"};   // the fallbacks
        r[0].formats.multiByteCharset = false;
        r[1] = {TranslateLocale(locale_samples::CUtf8()), "mm/dd/yyyy hh:nn:ss"};
        r[2] = {TranslateLocale(locale_samples::EnUs()), "mm/dd/yyyy hh:nn:ss"};
        r[3] = {TranslateLocale(locale_samples::DeDe()), "dd/mm/yyyy hh:nn:ss"};
        r[4] = {TranslateLocale(locale_samples::ZhCn()), "yyyy/mm/dd hh:nn:ss"};
        r[5] = {fuzz::IsoFormats('-'), "yyyy/mm/dd hh:nn:ss"};
        // Dates that carry a day name, which the reading passes over: up to
        // the time's marker, or up to the next digit.
        LocaleFormats named = TranslateLocale(locale_samples::ZhCn());
        named.shortDatePattern = "yyyy/m/d ddd";
        named.shortTimePattern = "AMPM h:mm";
        r[6] = {named, "yyyy/mm/dd ddd AMPM hh:nn:ss"};
        named.shortDatePattern = "dddd d/m/yyyy";
        named.shortTimePattern = "0h:mm";
        named.decimalMark = ',';
        named.dateMark = '.';
        named.timeMark = '.';
        named.centuryWindow = 0;
        r[7] = {named, "dd/mm/yyyy dddd hh:nn:ss"};
        return r;
    }();
    return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const Record& record = Records()[data[0] % Records().size()];
    fuzz::UseFormats(record.formats);
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    DateTimeValue value = 0;
    try {
        value = StampFromText(text);
    } catch (const EConvertError& e) {
        FUZZ_CHECK(e.Message == "'" + std::string(text) + "' is not a valid date and time");
        DateTimeValue untouched = 1234.5;
        FUZZ_CHECK(!TryStampFromText(text, untouched) && untouched == 1234.5);
        return 0;
    }
    DateTimeValue again = 0;
    FUZZ_CHECK(TryStampFromText(text, again) && again == value);

    // A date of the calendar, and a time of day in whole milliseconds.
    const StampParts parts = SplitStamp(value);
    FUZZ_CHECK(parts.year >= 1 && parts.year <= 9999);
    DateTimeValue date = 0;
    double time = 0;
    FUZZ_CHECK(TryEncodeDate(static_cast<int>(parts.year), parts.month, parts.day, date));
    FUZZ_CHECK(TryEncodeTime(parts.hour, parts.minute, parts.second, parts.millisecond, time));
    FUZZ_CHECK(CombineDateTime(date, time) == value);

    std::string full = StampPattern(record.fullPattern, value);
    full += record.formats.decimalMark;
    full += StampPattern("zzz", value);
    FUZZ_CHECK(StampFromText(full) == value);
    return 0;
}
