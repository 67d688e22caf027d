#pragma once
// The window's command line: files to read at start, whether to compute, and
// the method's choices, as
//
//     quelmora --window [--curve CURVE] [--flood FLOOD] [--compute]
//              [--outflow mean|end] [--bank-storage K] [--losses F[,F...]]
//              [--smooth N] [--negative redistribute] [FILE...]
//
// A FILE without an option (a desktop's file manager passes them so) is a
// curve or a flood record by its first data line: two fields, or a first
// field that is a number, make a curve; otherwise a record.

#include "BalanceOptions.h"

#include <string>

struct TWindowArguments {
    std::string curve;
    std::string flood;
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
