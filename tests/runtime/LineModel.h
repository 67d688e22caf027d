#pragma once
// The line rules taken one character at a time, as plainly as they can be
// said: the reference the buffered line reader is checked against.

#include <string>
#include <string_view>
#include <vector>

namespace line_model {

class TLineModel {
public:
    explicit TLineModel(std::string_view bytes) : bytes_(bytes) {}

    bool AtEnd() const { return p_ == bytes_.size() || bytes_[p_] == kCtrlZ; }

    // nul: set when the line's text held a NUL byte.
    std::string ReadLine(bool* nul = nullptr) {
        std::string text;
        if (nul) *nul = false;
        while (p_ < bytes_.size()) {
            const char c = bytes_[p_++];
            if (c == '\n') return text;
            if (c == '\r') continue;  // before LF part of the line end, else dropped
            if (c == '\0' && nul) *nul = true;
            if (c == kCtrlZ) {
                // The line's text ends; the rest of the line is passed over, up
                // to and with its LF, or up to a Ctrl-Z, which ends the file.
                while (p_ < bytes_.size() && bytes_[p_] != kCtrlZ)
                    if (bytes_[p_++] == '\n') break;
                return text;
            }
            text += c;
        }
        return text;
    }

private:
    static constexpr char kCtrlZ = 26;
    std::string_view bytes_;
    std::size_t p_ = 0;
};

// Every line a reader takes while the file is not at its end.
inline std::vector<std::string> Lines(std::string_view bytes) {
    TLineModel model(bytes);
    std::vector<std::string> lines;
    while (!model.AtEnd()) lines.push_back(model.ReadLine());
    return lines;
}

// For every such line, whether its text held a NUL.
inline std::vector<bool> NulLines(std::string_view bytes) {
    TLineModel model(bytes);
    std::vector<bool> lines;
    bool nul = false;
    while (!model.AtEnd()) {
        model.ReadLine(&nul);
        lines.push_back(nul);
    }
    return lines;
}

}  // namespace line_model
