#pragma once
// How a file is laid out and in what units it counts: the options that
// describe a curve file or a flood record rather than the method.
//
//   --columns / --curve-columns    which field holds each quantity
//   --units                        the file's units
//   --date-order, --time-format, --utc-offset
//                                  how the record's stamps are read
//   --missing skip, --missing-value V
//                                  the record's gaps
//
// Every front end reads them here: batch mode from its command line, the
// window's import dialog from its controls (which it turns into these very
// texts, so that a choice made in the window can be repeated in a script), a
// script from its keyword arguments.

#include "ColumnMap.h"
#include "FloodStamp.h"
#include "RecordGaps.h"
#include "RecordUnits.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

enum class TFileKind { Curve, Flood };

// Options as given: (name, value) pairs in their order, names with "--".
using TOptionPairs = std::vector<std::pair<std::string, std::string>>;

struct TRecordFormat {
    std::optional<TColumnOption> columns;
    TRecordUnits units;
    TStampOptions stamps;
    TMissingMode missing = TMissingMode::Stop;
    TMissingValues missingValues;
    // Whether the file is read exactly as without any of the options.
    bool IsDefault() const;
};

// Whether `name` describes a file of this kind. A curve takes
// --curve-columns and --units; a flood record every other option above and
// --units.
bool IsFormatOption(TFileKind kind, std::string_view name);

// The options read; each at most once except --missing-value. An option of
// the other kind, one given twice, or a bad value throws EOptionError whose
// message begins with the option's name.
TRecordFormat ReadRecordFormat(TFileKind kind, const TOptionPairs& given);

// The options as one would type them after the program's name: each as
// "--name value", a value quoted with '"' when it holds a blank or a quote
// (and such a quote doubled as "\""). For showing a choice made in the window
// as the command that repeats it.
std::string OptionCommandText(const TOptionPairs& options);

// A first guess at a file's columns and units from its headings, for a dialog
// to start from: a heading naming a quantity ("Date", "Elevation (feet)",
// "Total Release (cfs)", "水位") takes it, a unit in parentheses or after '_'
// ("(feet)", "(af)", "_cfs") gives the unit. Quantities no heading names keep
// the plain reading's positions (time 1, level 2, outflow 3; level 1,
// storage 2). Only a guess: the dialog shows it and the user confirms it.
struct TFormatGuess {
    // Field numbers from 1 for each quantity; 0 for none (area, losses).
    int time = 1, level = 2, outflow = 3;
    int storage = 2, area = 0;
    std::vector<int> losses;
    TRecordUnits units;
};
TFormatGuess GuessFormat(TFileKind kind, std::string_view headingLine);
