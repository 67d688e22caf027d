#pragma once
// Reading the texts of the options that describe an agency's files (columns,
// units, stamps, dated curves, missing values). The readers of every front
// end share them: batch mode turns an EOptionError into a usage error, the
// window's import dialog shows it, a script gets it as an exception.

#include "Exceptions.h"
#include "StringList.h"   // TrimText: blanks (characters 0 to 32) off both ends

#include <string>
#include <string_view>
#include <vector>

// A refusal of an option's text; the message begins with the option's name,
// as "--units: unknown flow unit 'cms' (m3/s or cfs)".
class EOptionError : public Exception {
    using Exception::Exception;
};

// Throws EOptionError "OPTION: DETAIL".
[[noreturn]] void RefuseOption(std::string_view option, std::string_view detail);

// The text between quotes, for messages: 'text'.
std::string Quoted(std::string_view text);

// Equal when ASCII letters are compared without their case.
bool SameIgnoringCase(std::string_view a, std::string_view b);

// A list "A,B,C" cut at every comma; each item trimmed of blanks. An empty
// text gives one empty item.
std::vector<std::string_view> SplitOptionList(std::string_view text);

// An item "NAME=VALUE" of such a list: both sides trimmed of blanks. False
// when the item has no '='.
bool SplitOptionItem(std::string_view item, std::string_view& name, std::string_view& value);

// A whole number written with digits only (no sign), at most 9 digits: the
// number, or -1 for any other text.
int SmallNumber(std::string_view text);
