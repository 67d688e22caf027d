#include "ErrorReport.h"

#include "Exceptions.h"

namespace {

// Where the last character of text begins: a UTF-8 sequence that ends the
// text counts from its lead byte; anything else is taken byte by byte.
std::size_t LastCharacterStart(std::string_view text) {
    const std::size_t last = text.size() - 1;
    std::size_t i = last;
    while (i > 0 && last - i < 3 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
        --i;
    if (i == last) return last;
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead >= 0xF0 && lead <= 0xF4  ? 4
                               : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                                                             : 0;
    return length == text.size() - i ? i : last;
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// A message that quotes a huge text (a line of a hundred megabytes read as a
// number) cannot be shown or read whole: a message box takes minutes to lay it
// out. Its start and its end are shown, joined by how much was left out.
constexpr std::size_t kLongestShown = 1000;
constexpr std::size_t kHeadShown = 600;
constexpr std::size_t kTailShown = 200;

std::string Shortened(std::string_view message) {
    if (message.size() <= kLongestShown) return std::string(message);
    std::size_t headEnd = kHeadShown;
    while (headEnd > 0 && IsContinuationByte(message[headEnd])) --headEnd;
    std::size_t tailStart = message.size() - kTailShown;
    while (tailStart < message.size() && IsContinuationByte(message[tailStart])) ++tailStart;
    return std::string(message.substr(0, headEnd)) + " … (" + std::to_string(tailStart - headEnd) +
           " bytes left out) … " + std::string(message.substr(tailStart));
}

} // namespace

std::string ShortenedText(std::string_view text) { return Shortened(text); }

std::string ErrorDisplayText(std::string_view message) {
    std::string text = Shortened(message);
    if (!message.empty() && static_cast<unsigned char>(message[LastCharacterStart(message)]) > '.')
        text += '.';
    return text;
}

std::string ErrorDisplayText(const std::exception& e) {
    const auto* own = dynamic_cast<const Exception*>(&e);
    return ErrorDisplayText(own ? std::string_view(own->Message) : std::string_view(e.what()));
}

std::string EscapeControls(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    auto escaped = [](std::string& out, unsigned char c) {
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 15];
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool c1 = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (c1) {
            escaped(out, c);
            escaped(out, static_cast<unsigned char>(text[++i]));
        } else if ((c < 0x20 && c != '\t') || c == 0x7F) {
            escaped(out, c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string ApplicationTitle(std::string_view programPath) {
    const auto slash = programPath.rfind('/');
    std::string_view name =
        slash == std::string_view::npos ? programPath : programPath.substr(slash + 1);
    // A leading dot marks a hidden file, not an extension: ".tool" stays a name.
    const auto dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    std::string title(name);
    // The first character keeps its case: FLOOD.EXE gives "Flood", quelmora
    // stays "quelmora".
    for (std::size_t i = 1; i < title.size(); ++i) title[i] = AsciiLower(title[i]);
    return title;
}

void ReportError(const std::exception& e, const std::string& title, const ErrorDisplay& display,
                 const std::function<void()>& releaseCapture) {
    if (releaseCapture) releaseCapture();
    if (dynamic_cast<const EAbort*>(&e)) return;
    if (display) display(title, ErrorDisplayText(e));
}
