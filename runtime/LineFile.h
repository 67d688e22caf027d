#pragma once
// LineFile: the text file channel. Lines read end at LF or CR LF (a lone CR is
// dropped, Ctrl-Z ends the file); lines written end with CR LF. Every
// operation raises EInOutError with the error number on failure.

#include <string>
#include <string_view>

class LineFile {
public:
    LineFile() = default;
    ~LineFile();   // releases the file; an unfinished atomic write leaves no temporary
    LineFile(const LineFile&) = delete;
    LineFile& operator=(const LineFile&) = delete;

    void OpenRead(const std::string& fileName);
    // Creates or replaces fileName; writes go through a buffer of writeBuffer bytes.
    void OpenWrite(const std::string& fileName, std::size_t writeBuffer = 128);
    // Like OpenWrite, but into a temporary beside fileName that Close() renames
    // over it: an earlier file of that name survives a failed write intact.
    void OpenWriteAtomic(const std::string& fileName, std::size_t writeBuffer = 128);

    std::string ReadLine();
    // Reads the next line into line (reusing its storage); the hot path.
    void ReadLine(std::string& line);
    bool AtEnd();
    void Write(std::string_view text);
    void EndLine();
    void Close();   // 103 when the channel was never opened

    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
    // The implementation's state follows.
};
