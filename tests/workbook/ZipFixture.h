#pragma once
// Workbooks made part by part for the tests and the fuzz target: any XML in
// any part, so that every branch of the reader can be reached without a
// spreadsheet program.

#include <zip.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace zipfixture {

using Parts = std::vector<std::pair<std::string, std::string>>; // (name, contents)

// Writes the parts into a zip archive at path, deflated or stored.
inline void MakeZip(const std::string& path, const Parts& parts, bool deflate = true) {
    zipFile z = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (!z) throw std::runtime_error("cannot create " + path);
    for (const auto& [name, contents] : parts) {
        zip_fileinfo info{};
        if (zipOpenNewFileInZip64(z, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                  deflate ? Z_DEFLATED : 0, deflate ? Z_DEFAULT_COMPRESSION : 0, 0) != ZIP_OK ||
            zipWriteInFileInZip(z, contents.data(), static_cast<unsigned>(contents.size())) != ZIP_OK ||
            zipCloseFileInZip(z) != ZIP_OK) {
            zipClose(z, nullptr);
            throw std::runtime_error("cannot write " + name + " into " + path);
        }
    }
    if (zipClose(z, nullptr) != ZIP_OK) throw std::runtime_error("cannot close " + path);
}

inline const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline const char* kRelations = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

inline std::string SheetXml(const std::string& sheetData, const std::string& before = "") {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet xmlns=\"") + kMain + "\">" + before +
           "<sheetData>" + sheetData + "</sheetData></worksheet>";
}

inline std::string StylesXml(const std::string& numFmts, const std::string& cellXfs) {
    return std::string("<styleSheet xmlns=\"") + kMain + "\"><numFmts>" + numFmts +
           "</numFmts><cellStyleXfs><xf numFmtId=\"14\"/></cellStyleXfs><cellXfs>" + cellXfs +
           "</cellXfs></styleSheet>";
}

inline std::string SharedStringsXml(const std::string& items) {
    return std::string("<sst xmlns=\"") + kMain + "\">" + items + "</sst>";
}

// A workbook of the given sheets (name, sheet part XML), with the shared
// strings and styles when given; workbookPr is placed as given.
inline Parts MinimalBook(const std::vector<std::pair<std::string, std::string>>& sheets,
                         const std::string& sharedStrings = "", const std::string& styles = "",
                         const std::string& workbookPr = "") {
    Parts parts;
    parts.emplace_back("_rels/.rels",
                       "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                       "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                       "relationships/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
    std::string book = std::string("<workbook xmlns=\"") + kMain + "\" xmlns:r=\"" + kRelations + "\">" + workbookPr +
                       "<sheets>";
    std::string rels = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        book += "<sheet name=\"" + sheets[i].first + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + kRelations + "/worksheet\" Target=\"worksheets/sheet" +
                n + ".xml\"/>";
        parts.emplace_back("xl/worksheets/sheet" + n + ".xml", sheets[i].second);
    }
    if (!sharedStrings.empty()) {
        rels += std::string("<Relationship Id=\"rS\" Type=\"") + kRelations +
                "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
        parts.emplace_back("xl/sharedStrings.xml", sharedStrings);
    }
    if (!styles.empty()) {
        rels += std::string("<Relationship Id=\"rT\" Type=\"") + kRelations + "/styles\" Target=\"/xl/styles.xml\"/>";
        parts.emplace_back("xl/styles.xml", styles);
    }
    parts.emplace_back("xl/workbook.xml", book + "</sheets></workbook>");
    parts.emplace_back("xl/_rels/workbook.xml.rels", rels + "</Relationships>");
    return parts;
}

} // namespace zipfixture
