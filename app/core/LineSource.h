#pragma once
// Where the readers' lines come from. A text file gives its lines; a front
// end may add other kinds of file (a workbook's sheet gives its rows, each as
// a line of its cells' texts joined by commas). The readers, the record check
// and the computation while reading take every file through here, so each
// kind reads with the same columns, units, gaps and messages.

#include "DateTime.h"
#include "LineFile.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct TColumnOption;

class TLineSource {
public:
    virtual ~TLineSource() = default;
    virtual bool AtEnd() = 0;
    // The next line, as a text file's line would be.
    virtual void ReadLine(std::string& line) = 0;
    // The file's line number of the line last read (1 for a text file's
    // first; a sheet's row number), for messages and failures.
    virtual std::int64_t LineNumber() const = 0;
    // A field of the line last read (after trimming and splitting) that holds
    // a time value itself rather than a text: a workbook's date cell. Taken
    // as it is, it loses nothing to a text form.
    virtual bool FieldStamp(std::size_t field, DateTimeValue& value) const {
        (void)field;
        (void)value;
        return false;
    }
    // Whether the heading is the first line that holds every heading the
    // columns name (a sheet often has title rows above its table) rather
    // than the first line.
    virtual bool SeeksHeading() const { return false; }
    // Text files only: the last line held a NUL byte; the file's lines end
    // with CR alone; the file as it was opened.
    virtual bool LastLineHadNul() const { return false; }
    virtual bool LinesEndWithCrAlone() const { return false; }
    virtual std::optional<TFileVersion> Version() const { return std::nullopt; }
    virtual void Close() {}
};

// A text file's lines.
class TTextSource : public TLineSource {
public:
    explicit TTextSource(const std::string& fileName) { file_.OpenRead(fileName); }
    bool AtEnd() override { return file_.AtEnd(); }
    void ReadLine(std::string& line) override {
        file_.ReadLine(line);
        ++line_;
    }
    std::int64_t LineNumber() const override { return line_; }
    bool LastLineHadNul() const override { return file_.LastLineHadNul(); }
    bool LinesEndWithCrAlone() const override { return file_.LinesEndWithCrAlone(); }
    std::optional<TFileVersion> Version() const override { return file_.Version(); }
    void Close() override { file_.Close(); }

private:
    LineFile file_;
    std::int64_t line_ = 0;
};

// Another kind of file, when `name` is one: a source for it, or null for a
// text file. Front ends that read workbooks install theirs at start-up; the
// name may then carry what the kind needs ("book.xlsx#Sheet").
using TLineSourceOpener = std::function<std::unique_ptr<TLineSource>(const std::string& name)>;
void SetLineSourceOpener(TLineSourceOpener opener);
// The source of a file as the user named it; a file that cannot be opened
// raises here, as LineFile::OpenRead does.
std::unique_ptr<TLineSource> OpenLineSource(const std::string& name);

// Reads the heading line: the first line, or where the source seeks it and
// the columns name headings, the first line that holds them all. When no line
// does, the first line's refusal (listing its headings) is raised; a source
// at its end gives an empty heading.
// `lineNumber` is the heading's line number (on a refusal, the first line's).
void ReadHeadingLine(TLineSource& source, const std::optional<TColumnOption>& columns, std::string_view fileName,
                     std::string& line, std::int64_t* lineNumber = nullptr);

// Line `number` of a file as its reader saw it, for a failure's message: a
// text file's by ReadLineAt (with its version); a sheet's row as its line.
// None when the file no longer has it.
std::optional<std::string> SourceLineAt(const std::string& name, std::int64_t number,
                                        const std::optional<TFileVersion>& version);
