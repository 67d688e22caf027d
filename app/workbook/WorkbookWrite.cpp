// Writing a document with libxlsxwriter, in its constant-memory mode: each
// sheet's rows go out as they are asked for, so a table of a million records
// is never held twice.

#include "Workbook.h"

#include "LineFile.h"

#include <unzip.h>
#include <xlsxwriter.h>

#include <QString>

#include <clocale>
#include <cstdlib>
#include <cmath>
#include <map>
#include <memory>
#include <set>

#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>
#include <fcntl.h>
#include <cstring>
#include <cerrno>

namespace workbook {

void OutSheet::SetCells(std::vector<std::vector<OutCell>> cells) {
    rows = static_cast<int>(cells.size());
    columns = 0;
    for (const auto& r : cells) columns = std::max(columns, static_cast<int>(r.size()));
    auto held = std::make_shared<std::vector<std::vector<OutCell>>>(std::move(cells));
    cell = [held](int r, int c) {
        const auto& row = (*held)[static_cast<std::size_t>(r)];
        return static_cast<std::size_t>(c) < row.size() ? row[static_cast<std::size_t>(c)] : OutCell{};
    };
}

namespace {

// libxlsxwriter prints numbers with the C library in the thread's locale:
// under de_DE it would write "0,5", which no reader takes for a number. The
// workbook is written under the C locale, whatever the program runs under.
class CNumericLocale {
public:
    CNumericLocale() : c_(newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr))) {
        if (c_) previous_ = uselocale(c_);
    }
    ~CNumericLocale() {
        if (c_) {
            uselocale(previous_);
            freelocale(c_);
        }
    }
    CNumericLocale(const CNumericLocale&) = delete;
    CNumericLocale& operator=(const CNumericLocale&) = delete;

private:
    locale_t c_;
    locale_t previous_ = nullptr;
};

// What libxlsxwriter leaves to its caller so that the text reads back as
// given: a literal "_xHHHH_" would read as an escaped character, so its
// underscore is escaped (_x005F_); NUL would end the C string, and U+FFFE and
// U+FFFF are no XML characters, so they go as escapes too. Bytes that are no
// UTF-8 become U+FFFD: the file must be XML. (Control characters and the
// carriage return libxlsxwriter escapes itself.)
std::string PrepareText(const std::string& text) {
    std::string in = text;
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) {
            const QByteArray valid = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUtf8();
            in.assign(valid.constData(), static_cast<std::size_t>(valid.size()));
            break;
        }
    std::string out;
    out.reserve(in.size());
    const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '_' && i + 6 < in.size() && in[i + 1] == 'x' && hex(in[i + 2]) && hex(in[i + 3]) && hex(in[i + 4]) &&
            hex(in[i + 5]) && in[i + 6] == '_') {
            out += "_x005F_";
            continue;
        } else if (c == '\0') {
            out += "_x0000_";
            continue;
        } else if (c == '\xEF' && i + 2 < in.size() && in[i + 1] == '\xBF' && (in[i + 2] == '\xBE' || in[i + 2] == '\xBF')) {
            out += in[i + 2] == '\xBE' ? "_xFFFE_" : "_xFFFF_";
            i += 2;
            continue;
        }
        out.push_back(c);
    }
    return out;
}

constexpr double kLargest = 9.99999999999999e307;

class Writer {
public:
    explicit Writer(const std::string& path) : path_(path) {}
    ~Writer() {
        if (book_) lxw_workbook_free(book_);
    }

    void Write(const OutDocument& document) {
        Check(document);
        // Created once by the program's own file channel: a missing folder or
        // a read-only place gets the same error as every other output.
        try {
            LineFile create;
            create.OpenWrite(path_);
            create.Close();
        } catch (EInOutError& e) {
            e.Message = path_ + ": " + e.Message;
            throw;
        }
        try {
            WriteBook(document);
        } catch (...) {
            if (book_) lxw_workbook_free(book_);
            book_ = nullptr;
            RemovePartial();
            throw;
        }
    }

private:
    [[noreturn]] void Fail(const std::string& where, const std::string& text) const {
        throw EWorkbookError(path_, path_ + where + ": " + text);
    }

    void Check(const OutDocument& document) const {
        if (document.sheets.empty()) Fail("", "a workbook needs at least one sheet");
        for (const auto& sheet : document.sheets) {
            const std::string where = "#" + sheet.name;
            if (sheet.name.empty()) Fail("", "a sheet needs a name");
            if (sheet.rows < 0 || sheet.rows > kMaxRows)
                Fail(where, std::to_string(sheet.rows) + " rows; a sheet holds at most " + std::to_string(kMaxRows));
            if (sheet.columns < 0 || sheet.columns > kMaxColumns)
                Fail(where, std::to_string(sheet.columns) + " columns; a sheet holds at most " + std::to_string(kMaxColumns));
            if (sheet.rows > 0 && sheet.columns > 0 && !sheet.cell) Fail(where, "no cells to write");
        }
    }

    void Expect(lxw_error error, const std::string& where) const {
        if (error != LXW_NO_ERROR) Fail(where, lxw_strerror(error));
    }
    template <class Where> void Expect(lxw_error error, const Where& where) const {
        if (error != LXW_NO_ERROR) Fail(where(), lxw_strerror(error));
    }

    void WriteBook(const OutDocument& document) {
        const CNumericLocale cLocale;
        // libxlsxwriter's own temporary files go beside the workbook (its
        // folder has room for the workbook; /tmp may not), or, when the
        // workbook goes to a device or a pipe, to TMPDIR. They are unlinked
        // as soon as they are made.
        std::string folder;
        struct stat st;
        if (::stat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            const auto slash = path_.rfind('/');
            folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path_.substr(0, slash);
        } else {
            const char* tmp = std::getenv("TMPDIR");
            folder = tmp && *tmp ? tmp : "/tmp";
        }
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        options.tmpdir = folder.data();
        book_ = workbook_new_opt(path_.c_str(), &options);
        if (!book_) Fail("", "libxlsxwriter could not start the workbook (out of memory?)");

        for (const auto& sheet : document.sheets) WriteSheet(sheet);

        lxw_workbook* book = book_;
        book_ = nullptr; // closed and freed by workbook_close, whatever it returns
        const lxw_error closed = workbook_close(book);
        if (closed != LXW_NO_ERROR) {
            const int err = errno;
            if (err == ENOSPC || err == EDQUOT || err == EFBIG) {
                EInOutError e(err == EFBIG ? 223 : 101);
                e.Message = path_ + ": " + e.Message;
                throw e;
            }
            Fail("", std::string("the workbook could not be written (") + lxw_strerror(closed) + ")");
        }
        VerifyWritten(document);
    }

    // libxlsxwriter writes each part into a temporary file first and does not
    // check those writes: when the disk fills, or the file size limit is met,
    // while a sheet goes out, the sheet is cut short and the workbook still
    // "succeeds". So the archive is read back: every part whole by its
    // checksum, every XML part ending with its root element's end, every
    // picture of a size given.
    void VerifyWritten(const OutDocument& document) const {
        unzFile z = unzOpen64(path_.c_str());
        if (!z) Fail("", "the workbook came out as no zip archive (the disk full?)");
        std::set<std::size_t> pictureSizes;
        for (const auto& sheet : document.sheets)
            for (const auto& picture : sheet.pictures) pictureSizes.insert(picture.png.size());
        std::size_t sheets = 0;
        std::string problem;
        auto buffer = std::make_unique<char[]>(1 << 16);
        for (int more = unzGoToFirstFile(z); more == UNZ_OK && problem.empty(); more = unzGoToNextFile(z)) {
            char nameBuffer[512];
            unz_file_info64 info;
            if (unzGetCurrentFileInfo64(z, &info, nameBuffer, sizeof nameBuffer, nullptr, 0, nullptr, 0) != UNZ_OK ||
                unzOpenCurrentFile(z) != UNZ_OK) {
                problem = "its directory is damaged";
                break;
            }
            const std::string name = nameBuffer;
            std::string head, tail;
            std::uint64_t size = 0;
            int n;
            while ((n = unzReadCurrentFile(z, buffer.get(), 1 << 16)) > 0) {
                size += static_cast<std::uint64_t>(n);
                if (head.size() < 512) head.append(buffer.get(), std::min<std::size_t>(static_cast<std::size_t>(n), 512));
                tail.append(buffer.get(), static_cast<std::size_t>(n));
                if (tail.size() > 256) tail.erase(0, tail.size() - 256);
            }
            if (unzCloseCurrentFile(z) != UNZ_OK || n < 0) problem = name + " is damaged";
            else if ((name.ends_with(".xml") || name.ends_with(".rels")) && !EndsWithRoot(head, tail))
                problem = name + " is cut short";
            else if (name.starts_with("xl/media/") && !pictureSizes.count(size))
                problem = name + " is cut short";
            if (name.starts_with("xl/worksheets/sheet")) ++sheets;
        }
        unzClose(z);
        if (problem.empty() && sheets != document.sheets.size()) problem = "sheets are missing";
        if (!problem.empty())
            Fail("", "the workbook came out incomplete (" + problem + "; the disk full, or the file too large?)");
    }

    // Whether an XML text ends with the end tag of its first element.
    static bool EndsWithRoot(const std::string& head, std::string tail) {
        std::size_t at = head.find('<');
        while (at != std::string::npos && at + 1 < head.size() && (head[at + 1] == '?' || head[at + 1] == '!'))
            at = head.find('<', at + 1);
        if (at == std::string::npos) return false;
        const std::size_t end = head.find_first_of(" \t\r\n/>", at + 1);
        if (end == std::string::npos) return false;
        const std::string root = head.substr(at + 1, end - at - 1);
        while (!tail.empty() && std::isspace(static_cast<unsigned char>(tail.back()))) tail.pop_back();
        return tail.ends_with("</" + root + ">") || (tail.ends_with("/>") && tail.find('<') == tail.rfind('<'));
    }

    void WriteSheet(const OutSheet& sheet) {
        const std::string where = "#" + sheet.name;
        Expect(workbook_validate_sheet_name(book_, sheet.name.c_str()), where);
        lxw_worksheet* ws = workbook_add_worksheet(book_, sheet.name.c_str());
        if (!ws) Fail(where, "the sheet could not be added");

        for (std::size_t c = 0; c < sheet.columnWidths.size(); ++c)
            if (sheet.columnWidths[c] > 0)
                Expect(worksheet_set_column(ws, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                                            sheet.columnWidths[c], nullptr),
                       where);

        lxw_format*& dateFormat = dateFormats_[sheet.dateFormat];
        if (!dateFormat) {
            dateFormat = workbook_add_format(book_);
            if (!dateFormat) Fail(where, "the date format could not be added");
            format_set_num_format(dateFormat, sheet.dateFormat.c_str());
        }

        for (const auto& picture : sheet.pictures) {
            lxw_image_options options{};
            options.x_scale = picture.scale;
            options.y_scale = picture.scale;
            Expect(worksheet_insert_image_buffer_opt(ws, static_cast<lxw_row_t>(picture.row),
                                                     static_cast<lxw_col_t>(picture.column),
                                                     reinterpret_cast<const unsigned char*>(picture.png.data()),
                                                     picture.png.size(), &options),
                   where + ": the picture at " + CellName(picture.row + 1, picture.column + 1));
        }

        for (int r = 0; r < sheet.rows; ++r)
            for (int c = 0; c < sheet.columns; ++c) {
                const OutCell cell = sheet.cell(r, c);
                const auto row = static_cast<lxw_row_t>(r);
                const auto col = static_cast<lxw_col_t>(c);
                const auto at = [&] { return where + ": cell " + CellName(r + 1, c + 1); };
                switch (cell.kind) {
                case OutCell::Kind::Empty:
                    break;
                case OutCell::Kind::Number:
                case OutCell::Kind::Date:
                    // Printed as "NAN" or "INF", it would make the file unreadable.
                    if (!std::isfinite(cell.number)) Fail(at(), "no finite number");
                    // Beyond Excel's largest number the 16 digits would
                    // print as more than the largest double.
                    if (std::fabs(cell.number) > kLargest)
                        Fail(at(), "a number beyond the largest a workbook holds (9.99999999999999E+307)");
                    Expect(worksheet_write_number(ws, row, col, cell.number,
                                                  cell.kind == OutCell::Kind::Date ? dateFormat : nullptr),
                           at);
                    break;
                case OutCell::Kind::Text:
                    Expect(worksheet_write_string(ws, row, col, PrepareText(cell.text).c_str(), nullptr), at);
                    break;
                }
            }
    }

    // A failed write leaves nothing: the file made for it goes, unless the
    // name is no regular file (a device such as /dev/full).
    void RemovePartial() const {
        struct stat st;
        if (::lstat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path_.c_str());
    }

    std::string path_;
    lxw_workbook* book_ = nullptr;
    std::map<std::string, lxw_format*> dateFormats_;
};

} // namespace

void WriteWorkbook(const OutDocument& document, const std::string& path) {
    Writer(path).Write(document);
}

namespace {

// A new empty file of a name no one else has, in the folder of `near` when it
// takes one, else in TMPDIR or /tmp; its name.
std::string PrivateTemporary(const std::string& near) {
    std::vector<std::string> folders;
    // Beside a file, never among devices (/dev/full) or descriptors.
    struct stat st;
    if (::stat(near.c_str(), &st) != 0 || S_ISREG(st.st_mode)) {
        const auto slash = near.rfind('/');
        folders.push_back(slash == std::string::npos ? "." : slash == 0 ? "/" : near.substr(0, slash));
    }
    const char* tmp = std::getenv("TMPDIR");
    folders.push_back(tmp && *tmp ? tmp : "/tmp");
    int error = 0;
    for (const std::string& folder : folders) {
        std::string name = folder + "/.quelmora-workbook-XXXXXX";
        const int fd = ::mkstemp(name.data());
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        error = errno;
    }
    throw EWorkbookError(near, near + ": no temporary file for the workbook could be made (" +
                                   std::string(std::strerror(error)) + ")");
}

}  // namespace

void WriteWorkbook(const OutDocument& document, LineFile& file) {
    const std::string temporary = PrivateTemporary(file.FileName());
    struct TRemove {
        const std::string& name;
        ~TRemove() { ::unlink(name.c_str()); }
    } remove{temporary};
    WriteWorkbook(document, temporary);
    const int fd = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw EWorkbookError(file.FileName(), file.FileName() + ": the workbook made could not be read back");
    std::string buffer(1 << 16, '\0');
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(fd);
            if (n < 0) throw EWorkbookError(file.FileName(), file.FileName() + ": the workbook made could not be read back");
            break;
        }
        try {
            file.Write(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
        } catch (...) {
            ::close(fd);
            throw;
        }
    }
}

} // namespace workbook
