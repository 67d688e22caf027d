// The line reader on arbitrary bytes, and the writer on the lines it gave.
// First byte: bit 0 puts the bytes across the reader's 256 KiB buffer edge
// (after a filler line), bits 1-7 shift them by up to 127 bytes there, and
// also pick the writer's buffer size and whether it writes through a
// temporary. The rest is the file.
//
// The reader's rules are those of the one-character-at-a-time model in
// tests/runtime/LineModel.h: lines end at line feeds, carriage returns are
// dropped, a Ctrl-Z ends its line (the rest of the line passed over) and one
// where a line starts ends the file.

#include "Exceptions.h"
#include "FuzzSupport.h"
#include "LineFile.h"
#include "../runtime/LineModel.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kReadBuffer = 256 * 1024;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned control = data[0];
    const std::string_view given(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string bytes;
    if (control & 1) {
        const std::size_t shift = control >> 1;
        bytes.assign(kReadBuffer - shift - 1, 'x');
        bytes += '\n';
    }
    bytes += given;
    line_model::TLineModel model(bytes);
    std::vector<std::string> expected;
    while (!model.AtEnd()) expected.push_back(model.ReadLine());
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
    // Reading on at the end: an empty text and no error where nothing is
    // left; at a Ctrl-Z that ends the file, that Ctrl-Z ends a line.
    file.ReadLine(line);
    FUZZ_CHECK(line == model.ReadLine() && file.AtEnd() == model.AtEnd());
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
