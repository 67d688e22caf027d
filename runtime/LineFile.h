#pragma once
// LineFile: the text file channel. Lines read end at LF or CR LF (a lone CR is
// dropped); a Ctrl-Z ends its line's text and the rest of that line is passed
// over, and a Ctrl-Z where a line would start ends the file. Lines written end
// with CR LF. Every
// operation raises EInOutError with the error number on failure.
//
// Error numbers: 2 missing file; 3 missing folder or bad name (empty, too
// long, a file used as a folder); 4 too many open files; 5 access denied,
// read-only file system, or a folder given as a file name; 101 disk full or
// quota exceeded; 103 channel not open; 104 channel not open for reading; 105
// channel not open for writing. Other failures: 31 device error (EIO), 32
// file in use (ETXTBSY, EBUSY), 109 pipe closed by its reader, 223 file size
// limit exceeded, and 1000 + errno for anything else ("I/O error %d").

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// One state of a file: a line number found while reading it names the same
// line later only while the file is still in this state.
struct TFileVersion {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;   // last change, in nanoseconds since the epoch
    bool operator==(const TFileVersion&) const = default;
};

class LineFile {
  public:
    LineFile() = default;
    ~LineFile(); // releases the file; an unfinished atomic write leaves no temporary
    LineFile(const LineFile&) = delete;
    LineFile& operator=(const LineFile&) = delete;

    // Opening a channel that is still open first releases it as the destructor does.
    void OpenRead(const std::string& fileName);
    // Creates or replaces fileName; writes go through a buffer of writeBuffer bytes.
    void OpenWrite(const std::string& fileName, std::size_t writeBuffer = 128);
    // Like OpenWrite, but into a temporary beside fileName that Close() renames
    // over it: an earlier file of that name survives a failed write intact.
    // A name for one of this process's descriptors (/dev/stdout, /dev/fd/N)
    // writes through that descriptor, sharing its position with whoever else
    // writes there. A target that exists and is no regular file (a FIFO, a
    // device) is written directly; a regular file reached through another
    // process's descriptor link is appended to.
    // A writable file in a folder that takes no new files is written in place.
    void OpenWriteAtomic(const std::string& fileName, std::size_t writeBuffer = 128);

    std::string ReadLine();
    // Reads the next line into line (reusing its storage); the hot path.
    void ReadLine(std::string& line);
    bool AtEnd();
    // Whether the line just read held a NUL byte: no text in the system's code
    // page does (UTF-16 text holds one in every ASCII character).
    bool LastLineHadNul() const { return lineHadNul_; }
    // Whether what was read so far held a CR but never an LF: lines ended by
    // CR alone, which the reader does not take as line ends (one long line).
    bool LinesEndWithCrAlone() const { return sawCr_ && !sawLf_; }
    // Texts that fit the buffer are appended inline: the result file is
    // written in tens of millions of small pieces.
    void Write(std::string_view text) {
        if (mode_ == Mode::writing && pending_.size() + text.size() < writeCap_)
            pending_.append(text);
        else
            WriteSlow(text);
    }
    void EndLine() { Write(std::string_view("\r\n", 2)); }
    // For a writer that makes its text right in the buffer: the text waiting
    // to go out, to append to (what was appended since the last Commit is the
    // writer's to cut back); Commit then sends out every whole buffer's worth,
    // so the file grows exactly as through Write.
    std::string& Pending() {
        if (mode_ != Mode::writing) CheckWriting();
        return pending_;
    }
    void Commit() {
        if (pending_.size() >= writeCap_) FlushWhole();
    }
    void Close(); // 103 when the channel was never opened

    // For one of several outputs made together, all or none: like
    // OpenWriteAtomic, but Close() leaves the temporary where it is, and
    // Publish() then renames it over the target (the destructor removes a
    // temporary never published). A target that OpenWriteAtomic would write
    // directly (a descriptor of ours, a pipe, a device, a file written in
    // place) is opened only when `direct` is true: otherwise the call returns
    // false and neither opens nor creates anything.
    bool OpenWriteStaged(const std::string& fileName, std::size_t writeBuffer, bool direct);
    // After Close(): puts a staged temporary in place; nothing for a target
    // written directly.
    void Publish();
    const std::string& FileName() const { return fileName_; }
    // The version of the regular file open for reading; none for anything
    // else (a pipe, a device) and when the channel is not reading.
    std::optional<TFileVersion> Version() const;

  private:
    // staged: closed, its temporary written whole and waiting for Publish().
    enum class Mode { closed, reading, writing, staged };

    void WriteSlow(std::string_view text);
    bool Fill();
    std::size_t NextCtrlZ(std::size_t from) const;
    void SkipRestOfLine();
    void FlushWhole();
    void WriteOut(const char* data, std::size_t size);
    void Release() noexcept;
    [[noreturn]] void Fail(int err);
    void CheckReading() const;
    void CheckWriting() const;
    void PrepareWrite(const std::string& fileName, std::size_t writeBuffer);
    void StartWriting(int fd);
    bool OpenWriteReplacing(const std::string& fileName, std::size_t writeBuffer, bool direct);
    std::size_t NextNul(std::size_t from) const;

    std::string fileName_;
    Mode mode_ = Mode::closed;
    int fd_ = -1;

    // Reading: the bytes buf_[pos_, len_) are still to be taken; ctrlZ_ is the
    // first Ctrl-Z at or after pos_ in them (len_ when there is none), found
    // once per buffer rather than once per line.
    std::unique_ptr<char[]> readBuf_;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    std::size_t ctrlZ_ = 0;
    // The first NUL at or after the last place looked at (len_ when none).
    std::size_t nul_ = 0;
    bool lineHadNul_ = false;
    bool sawCr_ = false;
    bool sawLf_ = false;
    bool sourceDone_ = false;

    // Writing: pending_ waits to be written; it goes out in pieces of
    // writeCap_ bytes, each as soon as it is full.
    std::string pending_;
    std::size_t writeCap_ = 0;

    // Atomic writing: the temporary being written and the file it replaces.
    std::string tempName_;
    std::string targetName_;
    // Close() keeps the temporary for Publish().
    bool staged_ = false;
};

// Why a file that held a NUL byte is no text: "a UTF-16 file, not a text file
// in the system's code page" when its first line begins with UTF-16's
// byte-order mark or the line that held the NUL has one in every other byte,
// else "a file with NUL bytes, not ...".
std::string NotTextReason(std::string_view firstLine, std::string_view nulLine);

// The descriptor of this process that a name reaches through descriptor
// links (/dev/stdout gives 1, /dev/fd/3 gives 3, /proc/self/fd/0 gives 0);
// -1 for any other name.
int OwnDescriptorOf(const std::string& fileName);

// Line `number` (1 for the first) of a file, read with the channel's own line
// rules, so that the count agrees with what any reader of the channel saw.
// None when the file cannot be read, is no regular file, has fewer lines,
// or, when a version is given, is no longer in that version: never another
// line's text.
std::optional<std::string> ReadLineAt(const std::string& fileName, std::int64_t number,
                                      const std::optional<TFileVersion>& version = std::nullopt);
