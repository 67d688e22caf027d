#include "ErrorReport.h"
#include "Exceptions.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

TEST(ErrorDisplayText, PeriodAfterCharactersAboveTheDot) {
    EXPECT_EQ(ErrorDisplayText("File not found"), "File not found.");
    EXPECT_EQ(ErrorDisplayText("I/O error 32"), "I/O error 32.");
    EXPECT_EQ(ErrorDisplayText("List index out of bounds (3)"), "List index out of bounds (3)");
    EXPECT_EQ(ErrorDisplayText("Done."), "Done.");
    EXPECT_EQ(ErrorDisplayText("a-"), "a-"); // '-' sorts before '.'
    EXPECT_EQ(ErrorDisplayText("a/"), "a/.");
    EXPECT_EQ(ErrorDisplayText(""), "");
    EXPECT_EQ(ErrorDisplayText("库容水位曲线少于两个点"), "库容水位曲线少于两个点.");
    EXPECT_EQ(ErrorDisplayText("（495 – 497 m）"), "（495 – 497 m）.");
    EXPECT_EQ(ErrorDisplayText(")\xA9"), ")\xA9."); // a stray byte counts by itself
}

TEST(ErrorDisplayText, HugeMessageShowsItsStartAndEndInWholeCharacters) {
    const std::string exact(1000, 'x');
    EXPECT_EQ(ErrorDisplayText(exact), exact + ".");
    // 1 + 3 * 400 + 1 bytes: byte 600 and the 200th byte from the end fall
    // inside three-byte characters, which go whole or not at all.
    std::string wide = "'";
    for (int i = 0; i < 400; ++i) wide += "水";
    wide += "'";
    const std::string shown = ErrorDisplayText(wide);
    std::string head = "'", tail;
    for (int i = 0; i < 199; ++i) head += "水";
    for (int i = 0; i < 66; ++i) tail += "水";
    EXPECT_EQ(shown, head + " … (405 bytes left out) … " + tail + "'");
    EXPECT_EQ(ErrorDisplayText(std::string(5000, 'a') + "b"),
              std::string(600, 'a') + " … (4201 bytes left out) … " + std::string(199, 'a') + "b.");
}

// A line quoted from a file reaches the terminal as text: no escape
// sequence, bell or carriage return of its own, the tab and other characters
// as they are.
TEST(EscapeControls, ControlCharactersShownAsHex) {
    EXPECT_EQ(EscapeControls("\x1b[2J\x1b]0;title\x07x"), "\\x1b[2J\\x1b]0;title\\x07x");
    EXPECT_EQ(EscapeControls(std::string("a\0b\rc\x7f", 6)), "a\\x00b\\x0dc\\x7f");
    EXPECT_EQ(EscapeControls("\xc2\x9b" "31m"), "\\xc2\\x9b" "31m");   // the C1 CSI in UTF-8
    EXPECT_EQ(EscapeControls("\t水位 496 m\xc2\xa0é"), "\t水位 496 m\xc2\xa0é");
}

TEST(ApplicationTitle, NameWithoutFolderAndExtension) {
    EXPECT_EQ(ApplicationTitle("FLOOD.EXE"), "Flood");
    EXPECT_EQ(ApplicationTitle("/usr/bin/quelmora"), "quelmora");
    EXPECT_EQ(ApplicationTitle("/usr/bin/QuelMora"), "Quelmora");
    EXPECT_EQ(ApplicationTitle("/opt/x.y/Flood.Calc.exe"), "Flood.calc");
    EXPECT_EQ(ApplicationTitle("/opt/.hidden"), ".hidden");
    EXPECT_EQ(ApplicationTitle("水库.bin"), "水库");
}

TEST(ReportError, ReleasesCaptureThenShowsAllButAbort) {
    std::vector<std::string> calls;
    const ErrorDisplay display = [&](const std::string& title, const std::string& text) {
        calls.push_back(title + ": " + text);
    };
    const auto release = [&] { calls.push_back("release"); };
    ReportError(EInOutError(2), "Flood", display, release);
    ReportError(EStringListError("List index out of bounds (9)"), "Flood", display, release);
    ReportError(std::runtime_error("bad"), "Flood", display);
    ReportError(EAbort(), "Flood", display, release);
    // A text read from a file may hold a NUL: the message goes on after it.
    const std::string withNul("'1.5x\0y' is not a valid floating point value", 44);
    ReportError(EConvertError(withNul), "Flood", display);
    EXPECT_EQ(calls, (std::vector<std::string>{"release", "Flood: File not found.", "release",
                                               "Flood: List index out of bounds (9)", "Flood: bad.",
                                               "release", "Flood: " + withNul + "."}));
    EXPECT_EQ(ErrorDisplayText(EConvertError(withNul)), withNul + ".");
}

} // namespace
