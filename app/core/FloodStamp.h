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

// Reads the time stamps of one flood record: the documented form first, any
// other text by the locale (StampFromText, with its error).
class TFloodStampReader {
public:
    DateTimeValue Read(std::string_view text);

private:
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
