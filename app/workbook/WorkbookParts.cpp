#include "WorkbookParts.h"

#include "LineFile.h"

#include <unzip.h>

#include <QByteArray>

#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace workbook::detail {

namespace {

unzFile Zip(void* handle) { return static_cast<unzFile>(handle); }

// The first bytes of a compound document: what Excel makes of a workbook
// with a password, and the old .xls format. Worth a message of its own.
bool IsCompoundDocument(const std::string& file) {
    static const unsigned char magic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    unsigned char head[8];
    const ssize_t n = ::read(fd, head, sizeof head);
    ::close(fd);
    return n == static_cast<ssize_t>(sizeof head) && std::memcmp(head, magic, sizeof head) == 0;
}

} // namespace

ZipArchive::ZipArchive(const std::string& file, const ReadLimits& limits)
    : file_(file), shown_(file), limits_(limits) {
    // A pipe or a device is no archive (and opening a pipe would wait for a
    // writer); a folder or a missing file gets the program's usual file error.
    struct stat st;
    const bool found = ::stat(file.c_str(), &st) == 0;
    if (found && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) Fail("not a workbook (not a regular file)");
    const int fd = found && S_ISREG(st.st_mode) ? ::open(file.c_str(), O_RDONLY | O_CLOEXEC) : -1;
    if (fd >= 0) {
        ::close(fd);
    } else {
        // The program's file channel gives the failure its usual number and text.
        try {
            LineFile probe;
            probe.OpenRead(file);
        } catch (EInOutError& e) {
            e.Message = file + ": " + e.Message;
            throw;
        }
        Fail("cannot be opened");
    }
    zip_ = unzOpen64(file.c_str());
    if (!zip_) {
        if (IsCompoundDocument(file))
            Fail("not a workbook (a workbook with a password, or one in the old .xls format; "
                 "save it as an .xlsx workbook without a password)");
        Fail("not a workbook (not a zip archive)");
    }
}

ZipArchive::~ZipArchive() {
    if (zip_) unzClose(Zip(zip_));
}

char* ZipArchive::Buffer() {
    if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kChunk);
    return buffer_.get();
}

bool ZipArchive::Has(const std::string& part) {
    return unzLocateFile(Zip(zip_), part.c_str(), 2) == UNZ_OK;
}

void ZipArchive::Fail(const std::string& text) const { throw EWorkbookError(file_, shown_ + ": " + text); }

void ZipArchive::Malformed(const std::string& text) const { Fail("malformed workbook: " + text); }

XmlPart::XmlPart(ZipArchive& zip, const std::string& part) : zip_(zip), part_(part) {
    unzFile z = Zip(zip.Handle());
    if (unzLocateFile(z, part.c_str(), 2) != UNZ_OK) zip.Malformed(part + " is missing");
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(z, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        zip.Malformed(part + " cannot be found in the archive's directory");
    if (info.flag & 1) zip.Malformed(part + " is encrypted");
    if (unzOpenCurrentFile(z) != UNZ_OK) zip.Malformed(part + " cannot be unpacked");
    open_ = true;
}

XmlPart::~XmlPart() {
    if (open_) unzCloseCurrentFile(Zip(zip_.Handle()));
}

void XmlPart::Finish() {
    while (Unpack()) {}
}

bool XmlPart::Feed() {
    if (!Unpack()) return false;
    xml_.addData(QByteArray(zip_.Buffer(), static_cast<qsizetype>(chunk_)));
    return true;
}

bool XmlPart::Unpack() {
    if (done_) return false;
    unzFile z = Zip(zip_.Handle());
    const int n = unzReadCurrentFile(z, zip_.Buffer(), ZipArchive::kChunk);
    if (n < 0) zip_.Malformed(part_ + " cannot be unpacked (damaged data)");
    if (n == 0) {
        done_ = true;
        open_ = false;
        if (unzCloseCurrentFile(z) == UNZ_CRCERROR)
            zip_.Malformed(part_ + " is damaged (its checksum does not match)");
        return false;
    }
    unpacked_ += static_cast<std::uint64_t>(n);
    // The archive's stated sizes may lie: the bytes that come out count.
    if (unpacked_ > zip_.Limits().maxPartBytes)
        zip_.Fail(part_ + " unpacks to more than " + std::to_string(zip_.Limits().maxPartBytes) +
                  " bytes; not read (a damaged or hostile workbook?)");
    chunk_ = static_cast<std::size_t>(n);
    return true;
}

QXmlStreamReader::TokenType XmlPart::Next() {
    for (;;) {
        const QXmlStreamReader::TokenType token = xml_.readNext();
        if (token == QXmlStreamReader::DTD)
            Malformed("a document type declaration, which no workbook part holds");
        if (token == QXmlStreamReader::StartElement) ++depth_;
        if (token == QXmlStreamReader::EndElement && --depth_ == 0) rootClosed_ = true;
        if (token != QXmlStreamReader::Invalid) return token;
        if (xml_.error() != QXmlStreamReader::PrematureEndOfDocumentError) Malformed(xml_.errorString().toStdString());
        // Fed in pieces, the parser cannot tell the end of the data from a
        // pause: a document whose root element has closed is whole.
        if (!Feed()) {
            if (rootClosed_) return QXmlStreamReader::EndDocument;
            Malformed("the part ends early");
        }
    }
}

void XmlPart::Malformed(const std::string& text) const {
    zip_.Malformed(part_ + " line " + std::to_string(xml_.lineNumber()) + ": " + text);
}

void XmlPart::SkipElement() {
    for (int depth = 1; depth > 0;) {
        const auto token = Next();
        if (token == QXmlStreamReader::StartElement) ++depth;
        else if (token == QXmlStreamReader::EndElement) --depth;
        else if (token == QXmlStreamReader::EndDocument) return;
    }
}

std::string ResolveTarget(const std::string& sourcePart, const std::string& target) {
    std::string path;
    if (!target.empty() && target[0] == '/') {
        path = target.substr(1);
    } else {
        const auto slash = sourcePart.rfind('/');
        path = (slash == std::string::npos ? std::string() : sourcePart.substr(0, slash + 1)) + target;
    }
    // "." and ".." steps, as in a URI path.
    std::vector<std::string> steps;
    std::size_t start = 0;
    for (;;) {
        const auto end = path.find('/', start);
        const std::string step = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (step == "..") {
            if (!steps.empty()) steps.pop_back();
        } else if (!step.empty() && step != ".") {
            steps.push_back(step);
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    std::string out;
    for (const auto& step : steps) out += (out.empty() ? "" : "/") + step;
    return out;
}

std::string RelationshipsOf(const std::string& part) {
    const auto slash = part.rfind('/');
    if (slash == std::string::npos) return "_rels/" + part + ".rels";
    return part.substr(0, slash + 1) + "_rels/" + part.substr(slash + 1) + ".rels";
}

void AppendUtf8(std::string& out, QStringView text) {
    const qsizetype n = text.size();
    const QChar* p = text.data();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        if (c >= 0x80) {
            const QByteArray rest = text.mid(i).toUtf8();
            out.append(rest.constData(), static_cast<std::size_t>(rest.size()));
            return;
        }
        out.push_back(static_cast<char>(c));
    }
}

} // namespace workbook::detail
