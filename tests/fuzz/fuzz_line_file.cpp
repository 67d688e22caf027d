// The line reader on arbitrary bytes, and the writer on the lines it gave.
// First byte: bit 0 puts the bytes across the reader's 256 KiB buffer edge
// (after a filler line), bits 1-7 shift them by up to 127 bytes there, and
// also pick the writer's buffer size and whether it writes through a
// temporary. The rest is the file.
//
// The reader's rules: a Ctrl-Z ends the file; the lines are the pieces
// between line feeds, with every carriage return dropped; the piece after
// a final line feed (or of an empty file) is no line.

#include "Exceptions.h"
#include "FuzzSupport.h"
#include "LineFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kReadBuffer = 256 * 1024;

std::vector<std::string> ExpectedLines(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find('\x1a'));
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        std::string line;
        for (const char c : bytes.substr(start, end - start))
            if (c != '\r') line += c;
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned control = data[0];
    const std::string_view given(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string bytes;
    std::vector<std::string> expected;
    if (control & 1) {
        const std::size_t shift = control >> 1;
        bytes.assign(kReadBuffer - shift - 1, 'x');
        expected.push_back(bytes);
        bytes += '\n';
    }
    bytes += given;
    for (std::string& line : ExpectedLines(given)) expected.push_back(std::move(line));
    static const std::string input = fuzz::ScratchDir::Get().File("lines.txt");
    static const std::string output = fuzz::ScratchDir::Get().File("written.txt");
    fuzz::WriteBytes(input, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());

    std::vector<std::string> lines;
    LineFile file;
    file.OpenRead(input);
    std::string line = "stale text";
    while (!file.AtEnd()) {
        // Both forms, the reused buffer and the fresh string.
        if (lines.size() % 2) {
            file.ReadLine(line);
            lines.push_back(line);
        } else {
            lines.push_back(file.ReadLine());
        }
    }
    // Reading at the end gives an empty text and no error, and stays at the end.
    file.ReadLine(line);
    FUZZ_CHECK(line.empty() && file.AtEnd());
    file.Close();
    FUZZ_CHECK(lines == expected);

    // The given lines written back in pieces of every size through a small
    // buffer: each line then CR LF, nothing lost at the buffer's edges.
    LineFile out;
    const std::size_t buffer = 1 + (control >> 2) % 64;
    if (control & 2)
        out.OpenWriteAtomic(output, buffer);
    else
        out.OpenWrite(output, buffer);
    std::string written;
    for (std::size_t k = (control & 1) ? 1 : 0; k < lines.size(); ++k) {
        const std::string_view text = lines[k];
        out.Write(text.substr(0, text.size() / 2));
        out.Write(text.substr(text.size() / 2));
        out.EndLine();
        written += text;
        written += "\r\n";
    }
    out.Close();
    FUZZ_CHECK(fuzz::ReadBytes(output) == written);
    return 0;
}
