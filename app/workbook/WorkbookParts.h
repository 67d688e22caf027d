#pragma once
// The reader's plumbing: the workbook's zip archive (minizip) and one part of
// it read as XML tokens (QXmlStreamReader), fed in pieces as it unpacks so
// that a sheet of any size is never held as bytes. Every failure becomes an
// EWorkbookError naming the file and the part.

#include "Workbook.h"

#include <QXmlStreamReader>

#include <cstdint>
#include <memory>
#include <string>

namespace workbook::detail {

class ZipArchive {
public:
    // `file` is opened as the user named it; `shown` is the name messages
    // give (the file, with "#SHEET" once the sheet is known).
    ZipArchive(const std::string& file, const ReadLimits& limits);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    bool Has(const std::string& part);
    const std::string& File() const { return file_; }
    const ReadLimits& Limits() const { return limits_; }
    void* Handle() const { return zip_; }
    // The unpacking buffer, one for the archive: its parts are read one at a time.
    char* Buffer();
    static constexpr std::size_t kChunk = 64 * 1024;

    // Messages: "FILE: text" and "FILE: malformed workbook: text".
    [[noreturn]] void Fail(const std::string& text) const;
    [[noreturn]] void Malformed(const std::string& text) const;
    // Messages from here on name the sheet as well.
    void NameSheet(const std::string& sheet) { shown_ = file_ + "#" + sheet; }

private:
    std::string file_;
    std::string shown_;
    ReadLimits limits_;
    void* zip_ = nullptr;
    std::unique_ptr<char[]> buffer_;
};

// One part opened for reading as XML. Next() gives the next token, unpacking
// more of the part as the parser needs it; errors of the zip or the XML end
// the reading with an EWorkbookError. A document type declaration is refused:
// no workbook part has one, and entity tricks live there.
class XmlPart {
public:
    XmlPart(ZipArchive& zip, const std::string& part);
    ~XmlPart();
    XmlPart(const XmlPart&) = delete;
    XmlPart& operator=(const XmlPart&) = delete;

    QXmlStreamReader::TokenType Next();
    QXmlStreamReader& Xml() { return xml_; }
    [[noreturn]] void Malformed(const std::string& text) const;
    // Skips the rest of the element whose start was the last token.
    void SkipElement();
    // Unpacks the rest of the part unread, for its checksum: a reader that
    // has what it wants still learns that the part is damaged.
    void Finish();

private:
    bool Feed();
    bool Unpack(); // the next piece into buffer_ (chunk_ bytes); false at the end

    ZipArchive& zip_;
    std::string part_;
    QXmlStreamReader xml_;
    std::size_t chunk_ = 0;
    std::uint64_t unpacked_ = 0;
    bool open_ = false;
    bool done_ = false;
    int depth_ = 0;
    bool rootClosed_ = false;
};

// Part names are case-insensitive within the archive; relationship targets
// are relative to their source's folder ("worksheets/sheet1.xml" from
// "xl/workbook.xml"), or absolute from the archive's root ("/xl/...").
std::string ResolveTarget(const std::string& sourcePart, const std::string& target);
// "xl/_rels/workbook.xml.rels" for "xl/workbook.xml".
std::string RelationshipsOf(const std::string& part);

// UTF-8 of a parser text, ASCII without the detour through a QByteArray.
void AppendUtf8(std::string& out, QStringView text);

} // namespace workbook::detail
