#pragma once
// The window's command line: files to read at start, whether to compute, and
// the method's choices, as
//
//     quelmora --window [--curve CURVE[@YYYY-MM-DD]]... [--flood FLOOD] [--compute]
//              [--outflow mean|end] [--bank-storage K] [--losses F[,F...]]
//              [--smooth N] [--negative redistribute]
//              [--columns MAP] [--curve-columns MAP] [--units LIST]
//              [--date-order ORDER] [--time-format FORMAT] [--utc-offset OFFSET]
//              [--missing skip] [--missing-value V]... [FILE...]
//
// With layout options, or several curves, or a dated one, the files are read
// as the import dialog reads them; the options' values are checked as batch
// mode checks them.
//
// A FILE without an option (a desktop's file manager passes them so) is a
// curve or a flood record by its first data line: two fields, or a first
// field that is a number, make a curve; otherwise a record.

#include "BalanceOptions.h"
#include "DatedCurves.h"
#include "RecordFormat.h"

#include <string>
#include <vector>

struct TWindowArguments {
    // The curve read as the first button reads it; with `curves` given, the
    // one that holds first.
    std::string curve;
    std::string flood;
    // The curves to import, by their days; empty for a single plain curve.
    std::vector<TCurveArgument> curves;
    // The layout options of each file (--units goes to both), checked.
    TOptionPairs curveFormat;
    TOptionPairs floodFormat;
    bool compute = false;
    TBalanceOptions balance;
    TCorrectionOptions correction;
};

// True when the arguments ask for the window: "--window" among them.
bool WantsWindow(int argc, char** argv);
// The arguments read; a bad one throws std::invalid_argument with the reason.
TWindowArguments ParseWindowArguments(int argc, char** argv);

enum class TRecordFileKind { Curve, Flood, Unknown };
// What a file holds, by its first data line (the line after the heading);
// Unknown when it cannot be read or has no data line.
TRecordFileKind RecordFileKind(const std::string& fileName);

// The usage line of the window's start.
extern const char* const kWindowUsage;
