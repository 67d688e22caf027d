#pragma once
// The outputs of one run, made all or none, none of them over an input.
//
// A run names its inputs and its outputs before it reads anything. Check()
// then compares every output with every input and with every other output by
// the file each name reaches: device and inode where the file exists (a
// symbolic link, a hard link, "./f.txt" all reach the same one), the real path
// of its folder and its own name where it does not. Standard output is one
// output whatever it is called ("-", /dev/stdout, /proc/self/fd/1, or the
// file it was redirected to). The null device takes any number of outputs.
//
// Commit() writes every output to a temporary beside its file, and renames
// the temporaries into place only once all of them were written; outputs
// that cannot be replaced as a whole (standard output, a pipe, a device, a
// file in a folder that takes no new files) are written after the others,
// standard output last. A failure anywhere removes every temporary, leaves
// every earlier file as it was, and names the output that failed.

#include "Exceptions.h"

#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class LineFile;

// A run refused before anything was read or written. Status: 2 for names that
// clash, 1 for standard output closed.
class EOutputRefused : public Exception {
public:
    EOutputRefused(std::string message, int status) : Exception(std::move(message)), Status(status) {}
    int Status;
};

// An output that could not be made; the message is "NAME: WHAT".
class EOutputFailed : public Exception {
    using Exception::Exception;
};

class TOutputSet {
public:
    // How messages call standard output.
    static constexpr const char* kStandardOutput = "standard output";

    // What an output writes, into a channel opened on it (or on its
    // temporary); called once, by Commit().
    using TWriter = std::function<void(LineFile& file)>;

    // option: the option that named the file ("--flood"), or a description
    // ("the result (no --out)"); name as given ("-" is standard output for an
    // output).
    void AddInput(std::string option, std::string name);
    // Returns the output's index, for SetWriter.
    std::size_t AddOutput(std::string option, std::string name, std::size_t writeBuffer = 1 << 16);
    void SetWriter(std::size_t output, TWriter writer);

    // For an output made while the inputs are read, after Check(): its
    // temporary opened now, to be written and closed by Commit() like the
    // others (and removed with the set when Commit() is never reached). Null
    // when the output is written directly (standard output, a pipe, a device)
    // or its temporary cannot be made now: it then needs a writer, and
    // Commit() reports what fails.
    LineFile* StageEarly(std::size_t output);
    // A write into the early-staged channel failed: Commit() reports it as the
    // output's failure, in the output's turn.
    void EarlyWriteFailed(std::size_t output, std::exception_ptr error);

    // Throws EOutputRefused for the first clash, or when an output goes to
    // standard output and standard output is closed (closedStandardOutput:
    // found so at start, before anything could take its place).
    void Check(bool closedStandardOutput = false) const;

    // Writes every output that has a writer; throws EOutputFailed.
    void Commit();

    // The name messages give an output: "standard output" for "-" and for
    // names of our descriptor 1, else the name as given.
    static std::string ShownName(const std::string& name);

private:
    struct TEntry {
        std::string option;
        std::string name;
        bool output = false;
        std::size_t writeBuffer = 0;
        TWriter writer;
        std::shared_ptr<LineFile> early;
        std::exception_ptr earlyError;
    };
    std::vector<TEntry> entries_;
};

// Puts the null device on standard input, output and error where they are
// closed, so that no file the program opens takes their place (a temporary
// that became descriptor 1 would receive what is meant for standard output,
// one that became descriptor 2 the error messages). Called first thing.
void GuardStandardDescriptors();
// Whether standard output was closed when GuardStandardDescriptors ran.
bool StandardOutputWasClosed();
