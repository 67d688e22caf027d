#pragma once
// The batch mode: the four buttons' work without a window, for scripts.
//
//     quelmora --curve CURVE [--flood FLOOD] [--out RESULT] [--chart PNG] ...
//
// (the whole option list is the usage text in Batch.cpp, which --help prints
// and docs/quelmora.1 explains). It reads the curve (and with --chart draws
// its chart into a PNG file), then (with --flood) the flood record, computes
// and writes the result file to RESULT, or to standard output when --out is absent or
// "-". Exit status 0 on success; 1 after an error, whose message goes to
// standard error as "quelmora: MESSAGE" (as the error display shows it),
// followed, when the error belongs to a line of a file, by
// "quelmora: FILE:LINE: TEXT" with the line as read (just "quelmora:
// FILE:LINE" when the file no longer holds it); 2 for
// bad arguments (with the usage text on standard error), and, without it, for
// outputs that would replace an input or each other (refused before anything
// is read) and for an option the data shows unusable. Every output is written,
// or none; a failure names the output ("quelmora: r.csv: Disk full.").
// Control characters of texts quoted from files are shown escaped. --help and
// --version answer on standard output and exit with 0.

int RunBatch(int argc, char** argv);

// The method options every front end reads alike.
#include "MethodOptions.h"
