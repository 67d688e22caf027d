#pragma once
// The time stamps of the flood record and of the result file.

#include "DateTime.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The documented form "yyyy-mm-dd hh-mm-ss", read whatever the locale: a
// four-digit year, month and day of one or two digits joined by '-', then
// optionally blanks and hour, minute and second of one or two digits joined by
// '-' or by ':' (the same one twice); blanks may end the text. Likewise ISO's
// "yyyy-mm-ddThh:mm[:ss]" and the year-first "yyyy/m/d[ h:mm[:ss]]", whose
// times are joined by ':' only. True and the value when the text has one of
// these forms and a valid date and time.
bool ReadDocumentedStamp(std::string_view text, DateTimeValue& value);

// The other forms an agency's file may carry, each read whatever the locale.
// "dd-Mon-yyyy" with an English month abbreviation in any case ("11-Mar-1963",
// "01-OCT-2004"), optionally followed by blanks and "h:mm" or "h:mm:ss";
// blanks may end the text.
bool ReadMonthNameStamp(std::string_view text, DateTimeValue& value);

// --date-order: how numeric dates are read. Locale: by the locale's pattern
// and separator (StampFromText), as without the option.
enum class TDateOrder { Locale, Dmy, Mdy, Ymd };
// --time-format: stamps as text, or as seconds or milliseconds since
// 1970-01-01 00:00 UTC.
enum class TTimeFormat { Text, UnixSeconds, UnixMilliseconds };

struct TStampOptions {
    TDateOrder dateOrder = TDateOrder::Locale;
    TTimeFormat timeFormat = TTimeFormat::Text;
    // --utc-offset in minutes: added to UTC stamps to give the reservoir's
    // local time. Only with a Unix time format.
    int utcOffsetMinutes = 0;
    bool IsDefault() const { return *this == TStampOptions{}; }
    friend bool operator==(const TStampOptions&, const TStampOptions&) = default;
};

// The option texts; EOptionError naming the option otherwise.
TDateOrder ParseDateOrder(std::string_view text);     // --date-order dmy|mdy|ymd
TTimeFormat ParseTimeFormat(std::string_view text);   // --time-format unix-s|unix-ms
int ParseUtcOffset(std::string_view text);            // --utc-offset +HH:MM|-HH:MM, to 18:00
// The options together: a date order has nothing to order in Unix stamps,
// and an offset is only for them. `utcOffsetGiven`: whether --utc-offset was
// given at all (+00:00 included).
void CheckStampOptions(const TStampOptions& options, bool utcOffsetGiven);

// A numeric date in the given order (not Locale): day, month and year joined
// by the same '/', '.' or '-' twice; day and month of one or two digits, the
// year of four, or of one or two placed by the century window as the locale
// reading places them; a first number of four digits is a year whatever the
// order (year, month, day). Then optionally blanks and "h:mm" or "h:mm:ss";
// blanks may end the text. A date alone is its midnight.
bool ReadOrderedStamp(std::string_view text, TDateOrder order, DateTimeValue& value);

// A Unix stamp: blanks, an optional sign, digits, optionally '.' and more
// digits, blanks ('.' whatever the locale). Taken to the nearest millisecond
// (ties to even), moved by the offset, and turned into the value that the
// same local date and time written as text give: TryEncodeDate of the day
// combined (CombineDateTime) with TryEncodeTime of the time of day, so before
// 1899-12-30 the value is date - time of day as for any stamp. False for
// other texts and for times outside the years 1 to 9999.
bool ReadUnixStamp(std::string_view text, TTimeFormat format, int utcOffsetMinutes, DateTimeValue& value);

// Reads the time stamps of one flood record. With the default options: the
// documented forms first, then "dd-Mon-yyyy", any other text by the locale
// (StampFromText, with its error). With a date order: the documented forms
// (year first with four digits: never ambiguous) and "dd-Mon-yyyy", then the
// ordered form; the locale is not asked. With a Unix format: Unix stamps only.
// A text that cannot be read raises EConvertError "'%s' is not a valid date
// and time".
class TFloodStampReader {
public:
    TFloodStampReader() = default;
    explicit TFloodStampReader(const TStampOptions& options) : options_(options) {}
    DateTimeValue Read(std::string_view text);
    // The same reading without the exception: false where Read would raise.
    bool TryRead(std::string_view text, DateTimeValue& value);

private:
    bool ReadParts(std::string_view text, DateTimeValue& value);

    TStampOptions options_;
    // Consecutive records mostly share their day.
    int year_ = -1, month_ = -1, day_ = -1;   // none read yet
    DateTimeValue date_ = 0.0;
};

// Appends StampToText(value). A result file repeats its days and times of day
// over and over; where the locale's patterns let the date and the time of day
// be written apart (the date pattern shows no time, the time pattern is the
// usual hour:minutes:seconds), each day's date and each time of day's text is
// made once by StampToText and reused. Otherwise every stamp is made afresh.
class TStampTexts {
public:
    TStampTexts();
    void Append(std::string& out, DateTimeValue value);

private:
    bool reuse_ = false;
    std::int64_t day_ = -1;
    std::string dateText_;
    // The texts after the date, by second of the day for whole seconds (an
    // index into texts_, -1 until made), by millisecond of the day otherwise.
    std::vector<std::int32_t> bySecond_;
    std::unordered_map<std::int32_t, std::int32_t> byMillisecond_;
    std::vector<std::string> texts_;
};
