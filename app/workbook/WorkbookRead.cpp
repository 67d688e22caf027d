// Reading a sheet: the package's relationships lead from the archive's root
// to the workbook part, from it to the sheets, the shared strings and the
// styles (which tell date cells from numbers); the sheet itself is streamed.

#include "Workbook.h"
#include "WorkbookParts.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include <sys/stat.h>

namespace workbook {

using detail::AppendUtf8;
using detail::XmlPart;
using detail::ZipArchive;
using Token = QXmlStreamReader::TokenType;

// ---- Names ----------------------------------------------------------------

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
    if (text.size() < tail.size()) return false;
    for (std::size_t i = 0; i < tail.size(); ++i) {
        char c = text[text.size() - tail.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != tail[i]) return false;
    }
    return true;
}

bool IsFile(const std::string& name) {
    struct stat st;
    return ::stat(name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

} // namespace

bool IsWorkbookFileName(std::string_view file) {
    return EndsWithNoCase(file, ".xlsx") || EndsWithNoCase(file, ".xlsm");
}

WorkbookName SplitWorkbookName(const std::string& name) {
    if (IsFile(name)) return {name, std::nullopt};
    std::optional<std::size_t> fallback;
    for (std::size_t at = name.rfind('#'); at != std::string::npos; at = at ? name.rfind('#', at - 1) : std::string::npos) {
        const std::string file = name.substr(0, at);
        if (!IsWorkbookFileName(file)) continue;
        if (IsFile(file)) return {file, name.substr(at + 1)};
        if (!fallback) fallback = at;
        if (at == 0) break;
    }
    if (fallback) return {name.substr(0, *fallback), name.substr(*fallback + 1)};
    return {name, std::nullopt};
}

std::string CellName(int row, int column) {
    std::string letters;
    for (int c = column; c > 0; c = (c - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    return letters + std::to_string(row);
}

DateTimeValue CellStamp(const Cell& cell) {
    const StampParts p = SplitStamp(cell.number);
    DateTimeValue date = 0;
    double time = 0;
    if (p.year < 1 || p.year > 9999 || !TryEncodeDate(static_cast<int>(p.year), p.month, p.day, date) ||
        !TryEncodeTime(p.hour, p.minute, p.second, p.millisecond, time))
        return cell.number;
    return CombineDateTime(date, time);
}

const Cell& Sheet::At(int row, int column) const {
    static const Cell empty;
    const auto r = std::lower_bound(rows.begin(), rows.end(), row,
                                    [](const Row& x, int n) { return x.number < n; });
    if (r == rows.end() || r->number != row) return empty;
    const auto c = std::lower_bound(r->cells.begin(), r->cells.end(), column,
                                    [](const Cell& x, int n) { return x.column < n; });
    return c == r->cells.end() || c->column != column ? empty : *c;
}

namespace {

// ---- Small readings -----------------------------------------------------------

std::string Utf8(QStringView text) {
    std::string out;
    AppendUtf8(out, text);
    return out;
}

QStringView Attribute(const QXmlStreamReader& xml, QLatin1StringView name) {
    return xml.attributes().value(name);
}

// "B7" into (7, 2); false for anything else, or beyond XFD1048576.
bool ParseCellRef(QStringView ref, int& row, int& column) {
    qsizetype i = 0;
    long long c = 0, r = 0;
    for (; i < ref.size() && ref[i] >= u'A' && ref[i] <= u'Z'; ++i) {
        c = c * 26 + (ref[i].unicode() - u'A' + 1);
        if (c > kMaxColumns) return false;
    }
    if (i == 0 || i == ref.size()) return false;
    for (; i < ref.size(); ++i) {
        if (ref[i] < u'0' || ref[i] > u'9') return false;
        r = r * 10 + (ref[i].unicode() - u'0');
        if (r > kMaxRows) return false;
    }
    if (r < 1) return false;
    row = static_cast<int>(r);
    column = static_cast<int>(c);
    return true;
}

bool ParseIndex(std::string_view text, long long& out) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\n' || text.front() == '\r' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\r' || text.back() == '\t'))
        text.remove_suffix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// A stored number: digits, a sign, a point, an exponent; never "inf" or
// "nan", and within the range of doubles. XML blanks around it are dropped
// from the text kept.
bool ParseNumber(std::string& text, double& out) {
    const auto blank = [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; };
    std::size_t b = 0, e = text.size();
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    if (b > 0 || e < text.size()) text = text.substr(b, e - b);
    if (text.empty()) return false;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E')) return false;
    const char* first = text.data();
    if (*first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(out);
}

// An ISO 8601 date and time (cells of type "d"): yyyy-mm-dd, Thh:mm[:ss[.fff]],
// or the time alone; a trailing Z is accepted (stamps carry no zone here).
bool ParseIsoStamp(std::string_view s, DateTimeValue& out) {
    auto digits = [&s](std::size_t n, int& v) {
        if (s.size() < n) return false;
        v = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (s[i] < '0' || s[i] > '9') return false;
            v = v * 10 + (s[i] - '0');
        }
        s.remove_prefix(n);
        return true;
    };
    auto mark = [&s](char c) {
        if (s.empty() || s.front() != c) return false;
        s.remove_prefix(1);
        return true;
    };
    DateTimeValue date = 0;
    double time = 0;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, ms = 0;
    const bool hasDate = s.size() >= 10 && s[4] == '-';
    if (hasDate) {
        if (!digits(4, y) || !mark('-') || !digits(2, mo) || !mark('-') || !digits(2, d)) return false;
        if (!TryEncodeDate(y, mo, d, date)) return false;
        if (s.empty()) return out = date, true;
        if (!mark('T') && !mark(' ')) return false;
    }
    if (!digits(2, h) || !mark(':') || !digits(2, mi)) return false;
    if (mark(':')) {
        if (!digits(2, sec)) return false;
        if (mark('.')) {
            // Milliseconds, rounded from however many digits are given.
            long double fraction = 0, scale = 1;
            std::size_t n = 0;
            for (; n < s.size() && s[n] >= '0' && s[n] <= '9'; ++n) {
                scale /= 10;
                fraction += (s[n] - '0') * scale;
            }
            if (n == 0) return false;
            s.remove_prefix(n);
            ms = static_cast<int>(std::lround(static_cast<double>(fraction * 1000)));
            if (ms == 1000) ms = 999;
        }
    }
    mark('Z');
    if (!s.empty() || !TryEncodeTime(h, mi, sec, ms, time)) return false;
    out = hasDate ? CombineDateTime(date, time) : time;
    return true;
}

void AppendCodePoint(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Texts carry characters XML cannot hold (a carriage return, control
// characters) as _xHHHH_, and a literal "_xHHHH_" as _x005F_xHHHH_.
int EscapeAt(std::string_view s, std::size_t i) {
    if (i + 7 > s.size() || s[i] != '_' || s[i + 1] != 'x' || s[i + 6] != '_') return -1;
    int v = 0;
    for (std::size_t k = i + 2; k < i + 6; ++k) {
        const char c = s[k];
        const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) return -1;
        v = v * 16 + d;
    }
    return v;
}

void DecodeEscapes(std::string& text) {
    if (text.find("_x") == std::string::npos) return;
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const int v = EscapeAt(text, i);
        if (v < 0) {
            out.push_back(text[i++]);
            continue;
        }
        i += 7;
        char32_t c = static_cast<char32_t>(v);
        if (v >= 0xD800 && v <= 0xDBFF) {
            const int low = EscapeAt(text, i);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((static_cast<char32_t>(v) - 0xD800) << 10) + (static_cast<char32_t>(low) - 0xDC00);
                i += 7;
            } else {
                c = 0xFFFD;
            }
        } else if (v >= 0xDC00 && v <= 0xDFFF) {
            c = 0xFFFD;
        }
        AppendCodePoint(out, c);
    }
    text.swap(out);
}

// ---- Number formats -------------------------------------------------------

// Whether a custom format shows a date or a time: a date or time letter
// (d m y h s) outside quoted texts, escaped characters (\x, _x, *x) and
// bracketed parts ([Red], [$-804], [>100]), or an elapsed time ([h], [mm],
// [ss]). Only the first section counts: it is the one positive numbers, and
// so every date, take.
bool IsDateFormatCode(QStringView code) {
    for (qsizetype i = 0; i < code.size(); ++i) {
        const char16_t c = code[i].unicode();
        switch (c) {
        case u'"':
            while (++i < code.size() && code[i] != u'"') {}
            break;
        case u'\\':
        case u'_':
        case u'*':
            ++i;
            break;
        case u'[': {
            const qsizetype close = code.indexOf(u']', i);
            if (close < 0) return false;
            const QStringView inside = code.sliced(i + 1, close - i - 1);
            if (!inside.isEmpty() && std::all_of(inside.begin(), inside.end(), [&](QChar x) {
                    return x.toLower() == inside[0].toLower();
                }) && QStringLiteral("hms").contains(inside[0].toLower()))
                return true;
            i = close;
            break;
        }
        case u';':
            return false;
        default:
            if (QStringLiteral("dmyhsDMYHS").contains(QChar(c))) return true;
        }
    }
    return false;
}

// The built-in formats without a code in the file: 14-22 and 45-47 are dates
// and times everywhere; 27-36 and 50-58 are the East Asian editions' dates
// and times (年月日, 时分秒), which Chinese workbooks use.
bool IsBuiltInDateFormat(long long id) {
    return (id >= 14 && id <= 22) || (id >= 45 && id <= 47) || (id >= 27 && id <= 36) || (id >= 50 && id <= 58);
}

// ---- The package ----------------------------------------------------------

struct Relationship {
    std::string type;   // the last step of its URI: "worksheet", "sharedStrings", ...
    std::string target; // resolved to a part name
};

std::map<std::string, Relationship> ReadRelationships(ZipArchive& zip, const std::string& source) {
    std::map<std::string, Relationship> out;
    const std::string rels = detail::RelationshipsOf(source);
    if (!zip.Has(rels)) return out;
    XmlPart x(zip, rels);
    for (Token t; (t = x.Next()) != Token::EndDocument;) {
        if (t != Token::StartElement || x.Xml().name() != u"Relationship") continue;
        if (Attribute(x.Xml(), QLatin1StringView("TargetMode")) == u"External") continue;
        std::string type = Utf8(Attribute(x.Xml(), QLatin1StringView("Type")));
        type = type.substr(type.rfind('/') + 1);
        const std::string target = Utf8(Attribute(x.Xml(), QLatin1StringView("Target")));
        out[Utf8(Attribute(x.Xml(), QLatin1StringView("Id")))] = {type, detail::ResolveTarget(source, target)};
    }
    return out;
}

struct SheetEntry {
    std::string name;
    std::string part;   // empty when the workbook names no part for it
    std::string type;   // "worksheet", "chartsheet", ...
};

struct Book {
    std::string part;
    bool date1904 = false;
    std::vector<SheetEntry> sheets;
    std::string sharedStrings;
    std::string styles;
};

std::string RelatedPart(ZipArchive& zip, const std::map<std::string, Relationship>& rels, const std::string& type,
                        const std::string& usual) {
    for (const auto& [id, rel] : rels)
        if (rel.type == type) return rel.target;
    // Written by hand or by a careless tool: the part in its usual place.
    return zip.Has(usual) ? usual : std::string();
}

Book ReadBook(ZipArchive& zip) {
    Book book;
    for (const auto& [id, rel] : ReadRelationships(zip, ""))
        if (rel.type == "officeDocument") book.part = rel.target;
    if (book.part.empty()) book.part = "xl/workbook.xml";
    if (!zip.Has(book.part)) zip.Fail("not a workbook (no " + book.part + ")");

    std::vector<std::pair<std::string, std::string>> named; // (name, relationship id)
    {
        XmlPart x(zip, book.part);
        for (Token t; (t = x.Next()) != Token::EndDocument;) {
            if (t != Token::StartElement) continue;
            const QXmlStreamReader& xml = x.Xml();
            if (xml.name() == u"workbookPr") {
                const QStringView v = Attribute(xml, QLatin1StringView("date1904"));
                book.date1904 = v == u"1" || v == u"true";
            } else if (xml.name() == u"sheet") {
                std::string id;
                // r:id, under whichever relationships namespace (transitional or strict).
                for (const auto& a : xml.attributes())
                    if (a.name() == u"id" && !a.namespaceUri().isEmpty()) id = Utf8(a.value());
                named.emplace_back(Utf8(Attribute(xml, QLatin1StringView("name"))), id);
            }
        }
    }
    const auto rels = ReadRelationships(zip, book.part);
    for (const auto& [name, id] : named) {
        const auto rel = rels.find(id);
        book.sheets.push_back({name, rel == rels.end() ? std::string() : rel->second.target,
                               rel == rels.end() ? std::string("worksheet") : rel->second.type});
    }
    book.sharedStrings = RelatedPart(zip, rels, "sharedStrings", "xl/sharedStrings.xml");
    book.styles = RelatedPart(zip, rels, "styles", "xl/styles.xml");
    return book;
}

// Whether each cell style (the s attribute) shows numbers as dates.
std::vector<bool> ReadDateStyles(ZipArchive& zip, const std::string& part) {
    std::vector<bool> out;
    if (part.empty()) return out;
    std::map<long long, bool> custom;
    XmlPart x(zip, part);
    int inCellXfs = 0;
    for (Token t; (t = x.Next()) != Token::EndDocument;) {
        const QXmlStreamReader& xml = x.Xml();
        if (t == Token::EndElement && xml.name() == u"cellXfs") inCellXfs = 0;
        if (t != Token::StartElement) continue;
        if (xml.name() == u"cellXfs") {
            inCellXfs = 1;
        } else if (xml.name() == u"numFmt") {
            long long id;
            if (ParseIndex(Utf8(Attribute(xml, QLatin1StringView("numFmtId"))), id))
                custom[id] = IsDateFormatCode(Attribute(xml, QLatin1StringView("formatCode")));
        } else if (xml.name() == u"xf" && inCellXfs) {
            long long id = 0;
            ParseIndex(Utf8(Attribute(xml, QLatin1StringView("numFmtId"))), id);
            const auto c = custom.find(id);
            out.push_back(c != custom.end() ? c->second : IsBuiltInDateFormat(id));
        }
    }
    return out;
}

// All shared strings in one buffer: a table of many short strings costs
// its bytes and one offset each, not a string object each.
struct SharedStrings {
    std::string bytes;
    std::vector<std::size_t> ends;
    std::size_t size() const { return ends.size(); }
    std::string_view operator[](std::size_t i) const {
        const std::size_t begin = i ? ends[i - 1] : 0;
        return std::string_view(bytes).substr(begin, ends[i] - begin);
    }
};

// The text of an <si> or <is>: its <t>, or its runs' <t> joined; phonetic
// guides (<rPh>) are not part of the text. The element's start was the last token.
void ReadRichText(XmlPart& x, std::string& out) {
    const std::size_t from = out.size();
    int depth = 1, inPhonetic = 0, inText = 0;
    while (depth > 0) {
        const Token t = x.Next();
        const QXmlStreamReader& xml = x.Xml();
        if (t == Token::StartElement) {
            ++depth;
            if (xml.name() == u"rPh") ++inPhonetic;
            else if (xml.name() == u"t") ++inText;
        } else if (t == Token::EndElement) {
            --depth;
            if (xml.name() == u"rPh") --inPhonetic;
            else if (xml.name() == u"t") --inText;
        } else if (t == Token::Characters && inText > 0 && inPhonetic == 0) {
            AppendUtf8(out, xml.text());
        } else if (t == Token::EndDocument) {
            x.Malformed("the part ends inside a text");
        }
    }
    if (out.find("_x", from) != std::string::npos) {
        std::string tail = out.substr(from);
        DecodeEscapes(tail);
        out.resize(from);
        out += tail;
    }
}

SharedStrings ReadSharedStrings(ZipArchive& zip, const std::string& part) {
    SharedStrings out;
    if (part.empty()) return out;
    XmlPart x(zip, part);
    for (Token t; (t = x.Next()) != Token::EndDocument;) {
        if (t != Token::StartElement || x.Xml().name() != u"si") continue;
        ReadRichText(x, out.bytes);
        out.ends.push_back(out.bytes.size());
    }
    return out;
}

// ---- The sheet ------------------------------------------------------------

struct SheetContext {
    const SharedStrings& strings;
    const std::vector<bool>& dateStyles;
    bool date1904;
};

// One <c> element, its start the last token. False for a cell without a value.
bool ReadCell(XmlPart& x, const SheetContext& context, int row, Cell& cell) {
    const QXmlStreamReader& xml = x.Xml();
    const QStringView type = Attribute(xml, QLatin1StringView("t"));
    long long style = 0;
    const QStringView s = Attribute(xml, QLatin1StringView("s"));
    if (!s.isEmpty() && !ParseIndex(Utf8(s), style))
        x.Malformed("cell " + CellName(row, cell.column) + " has the style '" + Utf8(s) + "'");
    const std::string typeText = Utf8(type);

    bool hasValue = false, hasInline = false;
    cell.text.clear();
    std::string inlineText;
    for (int depth = 1; depth > 0;) {
        const Token t = x.Next();
        if (t == Token::StartElement) {
            if (depth == 1 && xml.name() == u"v") {
                hasValue = true;
                ++depth;
            } else if (depth == 1 && xml.name() == u"is") {
                hasInline = true;
                ReadRichText(x, inlineText);
            } else {
                x.SkipElement(); // the formula and anything newer
            }
        } else if (t == Token::EndElement) {
            --depth;
        } else if (t == Token::Characters && depth == 2) {
            AppendUtf8(cell.text, xml.text());
        } else if (t == Token::EndDocument) {
            x.Malformed("the part ends inside cell " + CellName(row, cell.column));
        }
    }

    const auto bad = [&](const std::string& what) {
        x.Malformed("cell " + CellName(row, cell.column) + " " + what);
    };
    cell.date = false;
    cell.number = 0;
    // An empty <v> is no value either (openpyxl writes one for a formula).
    if (hasValue && typeText != "str" && cell.text.find_first_not_of(" \t\r\n") == std::string::npos)
        hasValue = false;
    if (typeText.empty() || typeText == "n") {
        if (!hasValue) return false;
        cell.type = CellType::Number;
        if (!ParseNumber(cell.text, cell.number)) bad("holds '" + cell.text + "', not a number");
        if (style >= 0 && static_cast<std::size_t>(style) < context.dateStyles.size() &&
            context.dateStyles[static_cast<std::size_t>(style)]) {
            cell.date = true;
            // The 1904 system's day 0 is 1904-01-01, day 1462 of the 1900 system.
            if (context.date1904) cell.number += 1462;
        }
    } else if (typeText == "s") {
        long long index;
        if (!hasValue) return false;
        if (!ParseIndex(cell.text, index) || index < 0 || static_cast<std::size_t>(index) >= context.strings.size())
            bad("refers to shared string '" + cell.text + "', but the workbook has " +
                std::to_string(context.strings.size()));
        cell.type = CellType::Text;
        cell.text = context.strings[static_cast<std::size_t>(index)];
    } else if (typeText == "str") {
        if (!hasValue) return false;
        cell.type = CellType::Text;
        DecodeEscapes(cell.text);
    } else if (typeText == "inlineStr") {
        if (!hasInline && !hasValue) return false;
        cell.type = CellType::Text;
        if (hasInline) cell.text = std::move(inlineText);
    } else if (typeText == "b") {
        if (!hasValue) return false;
        cell.type = CellType::Boolean;
        if (cell.text == "1" || cell.text == "true") cell.number = 1;
        else if (cell.text != "0" && cell.text != "false") bad("holds '" + cell.text + "', not a truth value");
        cell.text = cell.number ? "TRUE" : "FALSE";
    } else if (typeText == "e") {
        if (!hasValue) return false;
        cell.type = CellType::Error;
    } else if (typeText == "d") {
        if (!hasValue) return false;
        cell.type = CellType::Number;
        cell.date = true;
        if (!ParseIsoStamp(cell.text, cell.number)) bad("holds '" + cell.text + "', not a date");
    } else {
        bad("has the unknown type '" + typeText + "'");
    }
    return true;
}

// The sheet's rows one at a time, as the parser reaches them: Next reads
// tokens until a row that holds a value is complete.
class RowCursor {
public:
    RowCursor(XmlPart& x, const SheetContext& context) : x_(x), context_(context) {}
    bool Next(Row& row);

private:
    XmlPart& x_;
    SheetContext context_;
    int lastRow_ = 0;
    bool inSheetData_ = false, inRow_ = false, done_ = false;
};

bool RowCursor::Next(Row& row) {
    if (done_) return false;
    XmlPart& x = x_;
    for (Token t; (t = x.Next()) != Token::EndDocument;) {
        const QXmlStreamReader& xml = x.Xml();
        if (t == Token::EndElement) {
            if (xml.name() == u"sheetData") {
                done_ = true;
                return false;
            }
            if (xml.name() == u"row" && inRow_) {
                inRow_ = false;
                if (!row.cells.empty()) return true;
            }
            continue;
        }
        if (t != Token::StartElement) continue;
        if (!inSheetData_) {
            if (xml.name() == u"sheetData") inSheetData_ = true;
            else if (xml.name() != u"worksheet") x.SkipElement();
            continue;
        }
        if (!inRow_) {
            if (xml.name() != u"row") x.Malformed("<" + Utf8(xml.name()) + "> where a row should be");
            // Rows may leave out their number; then they follow the last one.
            const QStringView r = Attribute(xml, QLatin1StringView("r"));
            long long number = lastRow_ + 1;
            if (!r.isEmpty() && !ParseIndex(Utf8(r), number)) x.Malformed("row number '" + Utf8(r) + "'");
            if (number > kMaxRows || number < 1)
                x.Malformed("row " + std::to_string(number) + " lies beyond the sheet's " + std::to_string(kMaxRows) + " rows");
            if (number <= lastRow_)
                x.Malformed("row " + std::to_string(number) + " after row " + std::to_string(lastRow_));
            lastRow_ = static_cast<int>(number);
            row.number = lastRow_;
            row.cells.clear();
            inRow_ = true;
            continue;
        }
        if (xml.name() != u"c") {
            x.SkipElement();
            continue;
        }
        // Cells too may leave out their reference and follow the last one.
        const int lastColumn = row.cells.empty() ? 0 : row.cells.back().column;
        int refRow = row.number, column = lastColumn + 1;
        const QStringView ref = Attribute(xml, QLatin1StringView("r"));
        if (!ref.isEmpty() && !ParseCellRef(ref, refRow, column))
            x.Malformed("cell reference '" + Utf8(ref) + "' (cells run from A1 to XFD1048576)");
        if (column > kMaxColumns)
            x.Malformed("a cell after column XFD in row " + std::to_string(row.number));
        if (refRow != row.number)
            x.Malformed("cell " + Utf8(ref) + " in row " + std::to_string(row.number));
        if (column <= lastColumn)
            x.Malformed("cell " + CellName(row.number, column) + " after cell " + CellName(row.number, lastColumn));
        row.cells.emplace_back();
        row.cells.back().column = column;
        if (!ReadCell(x, context_, row.number, row.cells.back())) row.cells.pop_back();
    }
    done_ = true;
    if (!inSheetData_) x.Malformed("no <sheetData>");
    return false;
}

const SheetEntry& ChooseSheet(ZipArchive& zip, const Book& book, const std::optional<std::string>& wanted) {
    if (book.sheets.empty()) zip.Fail("the workbook has no sheets");
    const SheetEntry* chosen = nullptr;
    if (!wanted) {
        chosen = &book.sheets.front();
    } else {
        for (const auto& s : book.sheets)
            if (!chosen && s.name == *wanted) chosen = &s;
        // Excel keeps sheet names unique without regard to case.
        if (!chosen) {
            const QString w = QString::fromStdString(*wanted);
            for (const auto& s : book.sheets)
                if (!chosen && QString::fromStdString(s.name).compare(w, Qt::CaseInsensitive) == 0) chosen = &s;
        }
        if (!chosen) {
            std::string list;
            for (const auto& s : book.sheets) list += (list.empty() ? "" : ", ") + s.name;
            zip.NameSheet(*wanted);
            zip.Fail("no such sheet; the workbook has: " + list);
        }
    }
    zip.NameSheet(chosen->name);
    if (chosen->type != "worksheet") zip.Fail("a " + chosen->type + ", not a sheet of cells");
    if (chosen->part.empty()) zip.Malformed("the workbook names no part for the sheet");
    if (!zip.Has(chosen->part)) zip.Malformed(chosen->part + ", the sheet's part, is missing");
    return *chosen;
}

void ReadRows(const WorkbookName& name, const std::function<void(const Sheet&)>& onSheet,
              const std::function<void(Row&)>& onRow, const ReadLimits& limits) {
    ZipArchive zip(name.file, limits);
    const Book book = ReadBook(zip);
    const SheetEntry& entry = ChooseSheet(zip, book, name.sheet);
    const std::vector<bool> dateStyles = ReadDateStyles(zip, book.styles);
    const SharedStrings strings = ReadSharedStrings(zip, book.sharedStrings);
    Sheet header;
    header.name = entry.name;
    header.date1904 = book.date1904;
    if (onSheet) onSheet(header);
    XmlPart x(zip, entry.part);
    RowCursor cursor(x, SheetContext{strings, dateStyles, book.date1904});
    Row row;
    while (cursor.Next(row)) onRow(row);
    x.Finish();
}

} // namespace

std::vector<std::string> SheetNames(const std::string& file, const ReadLimits& limits) {
    ZipArchive zip(file, limits);
    std::vector<std::string> names;
    for (const auto& s : ReadBook(zip).sheets) names.push_back(s.name);
    return names;
}

Sheet ReadSheet(const WorkbookName& name, const ReadLimits& limits) {
    Sheet sheet;
    std::size_t cells = 0;
    ReadRows(
        name,
        [&sheet](const Sheet& header) {
            sheet.name = header.name;
            sheet.date1904 = header.date1904;
        },
        [&](Row& row) {
            cells += row.cells.size();
            if (cells > limits.maxCells)
                throw EWorkbookError(name.file, name.file + "#" + sheet.name + ": more than " +
                                                    std::to_string(limits.maxCells) +
                                                    " cells; not read (a damaged or hostile workbook?)");
            // A row of its exact size (a vector grown cell by cell holds up
            // to twice its cells); the reader keeps its own for the next.
            Row& kept = sheet.rows.emplace_back();
            kept.number = row.number;
            kept.cells.reserve(row.cells.size());
            std::move(row.cells.begin(), row.cells.end(), std::back_inserter(kept.cells));
        },
        limits);
    return sheet;
}

void ReadSheetRows(const WorkbookName& name, const std::function<void(const Sheet&)>& onSheet,
                   const std::function<void(const Row&)>& onRow, const ReadLimits& limits) {
    ReadRows(name, onSheet, [&onRow](Row& row) { onRow(row); }, limits);
}

// ---- The sheet row by row ---------------------------------------------------

struct SheetRows::Parts {
    ZipArchive zip;
    Book book;
    const SheetEntry* entry = nullptr;
    std::vector<bool> dateStyles;
    SharedStrings strings;
    std::optional<XmlPart> part;
    std::optional<RowCursor> cursor;
    Parts(const std::string& file, const ReadLimits& limits) : zip(file, limits) {}
};

SheetRows::SheetRows(const WorkbookName& name, const ReadLimits& limits)
    : parts_(std::make_unique<Parts>(name.file, limits)) {
    Parts& p = *parts_;
    p.book = ReadBook(p.zip);
    p.entry = &ChooseSheet(p.zip, p.book, name.sheet);
    p.dateStyles = ReadDateStyles(p.zip, p.book.styles);
    p.strings = ReadSharedStrings(p.zip, p.book.sharedStrings);
    header_.name = p.entry->name;
    header_.date1904 = p.book.date1904;
    p.part.emplace(p.zip, p.entry->part);
    p.cursor.emplace(*p.part, SheetContext{p.strings, p.dateStyles, p.book.date1904});
}

SheetRows::~SheetRows() = default;

bool SheetRows::Next(Row& row) {
    if (finished_) return false;
    if (parts_->cursor->Next(row)) return true;
    finished_ = true;
    parts_->part->Finish();
    return false;
}

} // namespace workbook
