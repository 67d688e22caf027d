#include "test_linefile_util.h"

#include "LineModel.h"

#include <random>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class LineFileTest : public ScratchDir {
  protected:
    // Every line of a file holding bytes, read as the readers do.
    V Lines(const std::string& bytes) {
        Put(Path("in.txt"), bytes);
        LineFile f;
        f.OpenRead(Path("in.txt"));
        V lines;
        std::string line;
        while (!f.AtEnd()) {
            f.ReadLine(line);
            lines.push_back(line);
        }
        if (bytes.find('\x1a') == std::string::npos) {
            EXPECT_EQ(f.ReadLine(), ""); // at the end: empty text, no error
            EXPECT_TRUE(f.AtEnd());
        }
        f.Close();
        return lines;
    }
};

TEST_F(LineFileTest, LineEnds) {
    EXPECT_EQ(Lines("a,1\nb,2\n"), Lines("a,1\r\nb,2\r\n"));
    EXPECT_EQ(Lines("a,1\r\nb,2\r\n"), (V{"a,1", "b,2"}));
    EXPECT_EQ(Lines("a,1\r\nb,2"), (V{"a,1", "b,2"})); // the last line needs no end
    EXPECT_EQ(Lines("a\r\n\r\n"), (V{"a", ""}));       // an extra line end: one empty line
    EXPECT_EQ(Lines(""), V{});
    EXPECT_EQ(Lines("\ra\rb\r\nc\r\r\nd\r"), (V{"ab", "c", "d"})); // lone CRs are dropped
}

// A Ctrl-Z inside a line ends that line's text, the rest of the line is
// passed over and reading goes on at the next line; one where a line starts
// ends the file.
TEST_F(LineFileTest, CtrlZ) {
    EXPECT_EQ(Lines("h\n495,1.58\x1a\n496,1.66"), (V{"h", "495,1.58", "496,1.66"}));
    EXPECT_EQ(Lines("ab\x1a"
                    "cd\r\nef\r\n"),
              (V{"ab", "ef"}));
    EXPECT_EQ(Lines("ab\r\x1a\r\ncd"), (V{"ab", "cd"}));
    EXPECT_EQ(Lines("a\r\nb\r\n\x1a"), (V{"a", "b"})); // as older editors end a file
    EXPECT_EQ(Lines("a\r\n\x1a"
                    "b\r\nc\r\n"),
              V{"a"});
    // A second Ctrl-Z in the passed-over rest ends the file there.
    EXPECT_EQ(Lines("ab\x1a"
                    "cd\x1a"
                    "ef\ngh"),
              V{"ab"});
    EXPECT_EQ(Lines("ab\x1a\x1a\ncd"), V{"ab"});
    EXPECT_EQ(Lines("\x1a"), V{});

    // Reading on at a Ctrl-Z that ends the file takes it as a line's end.
    Put(Path("in.txt"), "\x1a"
                        "head\nrest");
    LineFile f;
    f.OpenRead(Path("in.txt"));
    EXPECT_TRUE(f.AtEnd());
    EXPECT_EQ(f.ReadLine(), "");
    EXPECT_FALSE(f.AtEnd());
    EXPECT_EQ(f.ReadLine(), "rest");
    EXPECT_TRUE(f.AtEnd());
    f.Close();
}

// Random files of line ends, carriage returns, Ctrl-Zs and text, with the
// special bytes placed around the read buffer's edge, read as the rules read
// them one character at a time.
TEST_F(LineFileTest, RandomFilesReadAsTheRulesSay) {
    constexpr std::size_t kBuffer = 256 * 1024;
    std::mt19937 rng(11);
    const char alphabet[] = {'a', 'b', '\n', '\r', '\x1a', ','};
    for (int round = 0; round < 60; ++round) {
        std::string bytes;
        // Most rounds start with a long run so that the interesting bytes
        // straddle the first buffer's end.
        if (round % 3 != 0) bytes.assign(kBuffer - 1 - rng() % 8, 'x');
        const std::size_t tail = 1 + rng() % 40;
        // Ctrl-Z rarely, or the file ends at once.
        for (std::size_t k = 0; k < tail; ++k) {
            const unsigned r = rng() % 100;
            bytes += r < 4 ? '\x1a' : alphabet[r % 6 == 4 ? 0 : r % 6];
        }
        SCOPED_TRACE(round);
        EXPECT_EQ(Lines(bytes), line_model::Lines(bytes));
    }
}

// A NUL byte in a line's text marks that line (no text file holds one),
// wherever the read buffer's edge falls; one passed over after a Ctrl-Z marks
// none. A file of lone CRs is told apart from one with LFs.
TEST_F(LineFileTest, NulBytesAndLoneCarriageReturns) {
    constexpr std::size_t kBuffer = 256 * 1024;
    std::mt19937 rng(5);
    const char alphabet[] = {'a', '\n', '\r', '\0', 'b'};
    for (int round = 0; round < 60; ++round) {
        std::string bytes;
        if (round % 2) bytes.assign(kBuffer - 1 - rng() % 8, 'x');
        for (std::size_t k = 0, tail = 1 + rng() % 40; k < tail; ++k) {
            const unsigned r = rng() % 100;
            bytes += r < 3 ? '\x1a' : alphabet[r % 5];
        }
        Put(Path("in.txt"), bytes);
        LineFile f;
        f.OpenRead(Path("in.txt"));
        std::vector<bool> marked;
        while (!f.AtEnd()) {
            f.ReadLine();
            marked.push_back(f.LastLineHadNul());
        }
        SCOPED_TRACE(round);
        EXPECT_EQ(marked, line_model::NulLines(bytes));
    }
    for (const auto& [bytes, crAlone] : std::vector<std::pair<std::string, bool>>{
             {"head\r1,2\r3,4\r", true}, {"head\r\n1,2", false}, {"head\n1,2\r", false}, {"", false}}) {
        Put(Path("in.txt"), bytes);
        LineFile f;
        f.OpenRead(Path("in.txt"));
        while (!f.AtEnd()) f.ReadLine();
        EXPECT_EQ(f.LinesEndWithCrAlone(), crAlone) << bytes;
    }
}

// Lines far longer than any read buffer, with CRs and line ends wherever the
// random walk puts them, must read as a plain byte-by-byte split.
TEST_F(LineFileTest, LinesOfAnyLengthAcrossBuffers) {
    std::mt19937 rng(7);
    std::string bytes;
    V expected(1);
    while (bytes.size() < 6'000'000) {
        const unsigned r = rng() % 1000;
        const std::size_t run = r == 0 ? 3'000'000 : r < 50 ? rng() % 300'000 : rng() % 40;
        bytes.append(run, static_cast<char>('a' + r % 26));
        expected.back().append(run, static_cast<char>('a' + r % 26));
        if (r % 3 == 0) bytes += '\r';
        if (r % 2 == 0) {
            bytes += '\n';
            expected.emplace_back();
        }
    }
    if (expected.back().empty()) expected.pop_back();
    EXPECT_EQ(Lines(bytes), expected);

    // Reading into one string reuses its storage for shorter lines.
    Put(Path("in.txt"), std::string(5000, 'x') + "\nyy\nz");
    LineFile f;
    f.OpenRead(Path("in.txt"));
    std::string line;
    f.ReadLine(line);
    const char* storage = line.data();
    f.ReadLine(line);
    f.ReadLine(line);
    EXPECT_EQ(line, "z");
    EXPECT_EQ(line.data(), storage);
}

// The file on disk grows by whole buffers, exactly when one is full.
TEST_F(LineFileTest, WriteBufferGoesOutWhenFullAndAtClose) {
    const std::string name = Path("out.txt");
    Put(name, std::string(1000, 'o'));
    LineFile f;
    f.OpenWrite(name); // replaces the earlier file
    EXPECT_EQ(fs::file_size(name), 0u);
    f.Write(std::string(127, 'a'));
    EXPECT_EQ(fs::file_size(name), 0u);
    f.Write("b");
    EXPECT_EQ(fs::file_size(name), 128u);
    f.EndLine();
    f.Write(std::string(300, 'c')); // 430 in all: three buffers out
    EXPECT_EQ(fs::file_size(name), 384u);
    f.EndLine();
    f.Close();
    EXPECT_EQ(Get(name), std::string(127, 'a') + "b\r\n" + std::string(300, 'c') + "\r\n");

    f.OpenWrite(name, 1000);
    f.Write(std::string(999, 'd'));
    EXPECT_EQ(fs::file_size(name), 0u);
    f.EndLine();
    EXPECT_EQ(fs::file_size(name), 1000u);
    f.Close();
    EXPECT_EQ(fs::file_size(name), 1001u);
}

// A writer that makes its text right in the buffer: the file grows by whole
// buffers exactly as through Write, and what was appended since the last
// Commit may be cut back.
TEST_F(LineFileTest, TextMadeInTheBufferGoesOutInWholeBuffers) {
    const std::string name = Path("out.txt");
    LineFile f;
    f.OpenWrite(name, 16);
    f.Pending() += "0123456789";
    f.Commit();
    EXPECT_EQ(fs::file_size(name), 0u);
    f.Write("abc");
    f.Pending() += "defghijklmnopqrstuvwxyz0123456789";  // 46 pending: two buffers go
    f.Commit();
    EXPECT_EQ(fs::file_size(name), 32u);
    std::string& pending = f.Pending();
    EXPECT_EQ(pending, "wxyz0123456789");
    const std::size_t lineStart = pending.size();
    pending += "half a line";
    pending.resize(lineStart);  // the line could not be finished
    f.EndLine();
    f.Write(std::string(40, 'w'));  // with text pending: through the buffer
    f.Close();
    EXPECT_EQ(Get(name), "0123456789abcdefghijklmnopqrstuvwxyz0123456789\r\n" + std::string(40, 'w'));

    LineFile closed;
    EXPECT_EQ(ErrorOf([&] { closed.Pending(); }), 103);
    Put(Path("in.txt"), "x");
    closed.OpenRead(Path("in.txt"));
    EXPECT_EQ(ErrorOf([&] { closed.Pending(); }), 105);
}

TEST_F(LineFileTest, ChannelStateErrors) {
    LineFile f;
    EXPECT_EQ(ErrorOf([&] { f.Close(); }), 103);
    EXPECT_EQ(ErrorOf([&] { f.ReadLine(); }), 103);
    EXPECT_EQ(ErrorOf([&] { f.Write("x"); }), 103);
    Put(Path("in.txt"), "x");
    f.OpenRead(Path("in.txt"));
    EXPECT_EQ(ErrorOf([&] { f.Write("x"); }), 105);
    f.Close();
    EXPECT_EQ(ErrorOf([&] { f.Close(); }), 103);
    f.OpenWrite(Path("out.txt"));
    EXPECT_EQ(ErrorOf([&] { f.AtEnd(); }), 104);
}

TEST_F(LineFileTest, OpenErrorNumbers) {
    fs::create_directory(dir / "sub");
    Put(Path("file"), "x");
    const std::pair<std::string, int> cases[] = {
        {Path("missing.txt"), 2},
        {Path("nofolder/x.txt"), 3},
        {Path("nofolder/"), 3},
        {Path("file/x.txt"), 3}, // a file used as a folder
        {Path(std::string(300, 'n')), 3},
        {"", 3},
        {Path("file") + std::string(1, '\0') + "x", 3}, // must not open "file"
        {Path("sub"), 5},                               // a folder given as a file name
        {Path("sub/"), 5},
    };
    for (const auto& [name, number] : cases) {
        SCOPED_TRACE(name);
        LineFile f;
        EXPECT_EQ(ErrorOf([&] { f.OpenRead(name); }), number);
        if (number == 2) continue; // writing creates a missing file
        EXPECT_EQ(ErrorOf([&] { f.OpenWrite(name); }), number);
        EXPECT_EQ(ErrorOf([&] { f.OpenWriteAtomic(name); }), number);
    }
    EXPECT_EQ(Names(dir), (V{"file", "sub"}));

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int probe = dup(0);
    ASSERT_GE(probe, 0);
    close(probe);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(probe); // no descriptor from probe upwards
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    LineFile f;
    const int tooMany = ErrorOf([&] { f.OpenRead(Path("file")); });
    setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(tooMany, 4);
}

TEST_F(LineFileTest, PermissionDenied) {
    if (geteuid() == 0) GTEST_SKIP() << "file modes do not stop root";
    Put(Path("locked.txt"), "x");
    chmod(Path("locked.txt").c_str(), 0);
    fs::create_directory(dir / "ro");
    Put(Path("ro/open.txt"), "earlier");
    chmod(Path("ro").c_str(), 0555);
    LineFile f;
    EXPECT_EQ(ErrorOf([&] { f.OpenRead(Path("locked.txt")); }), 5);
    EXPECT_EQ(ErrorOf([&] { f.OpenWrite(Path("locked.txt")); }), 5);
    EXPECT_EQ(ErrorOf([&] { f.OpenWriteAtomic(Path("locked.txt")); }), 5);
    EXPECT_EQ(ErrorOf([&] { f.OpenWrite(Path("ro/new.txt")); }), 5);
    EXPECT_EQ(ErrorOf([&] { f.OpenWriteAtomic(Path("ro/new.txt")); }), 5);
    // No temporary can go beside a writable file in a read-only folder: written in place.
    f.OpenWriteAtomic(Path("ro/open.txt"));
    f.Write("new");
    f.Close();
    EXPECT_EQ(Get(Path("ro/open.txt")), "new");
}

} // namespace

// A line found by its number while reading is read again by that number: the
// count agrees with the reading rules over every kind of line end, and a file
// without that line, or no longer the version it was, gives no text at all.
TEST_F(LineFileTest, ReadLineAtCountsAsTheReadersDo) {
    const std::string path = Path("at.txt");
    for (const std::string& bytes :
         {std::string("h\r\n495,1.58\r\n\r\n497,x\r\n"), std::string("h\n\n\n496\n497"),
          std::string("h\n495,1.5\x1a"
                      "8\n496;1\n497,1\r\n\x1a"
                      "hidden\n"),
          std::string("h\r\na\rb\r\nc\r\r\nd\r"), std::string("\x1a"), std::string("")}) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        Put(path, bytes);
        const V lines = line_model::Lines(bytes);
        for (std::size_t n = 1; n <= lines.size(); ++n) EXPECT_EQ(ReadLineAt(path, std::int64_t(n)), lines[n - 1]);
        EXPECT_EQ(ReadLineAt(path, std::int64_t(lines.size()) + 1), std::nullopt);
        EXPECT_EQ(ReadLineAt(path, 0), std::nullopt);
    }

    Put(path, "h\n1\n2\n");
    std::optional<TFileVersion> version;
    {
        LineFile f;
        f.OpenRead(path);
        version = f.Version();
    }
    ASSERT_TRUE(version);
    EXPECT_EQ(ReadLineAt(path, 3, version), "2");
    // Rewritten in place with the same length (a second later: the clock
    // that stamps files is coarse), and replaced by another file.
    Put(path, "h\n1\n3\n");
    const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(version->modifiedNs / 1000000000 + 1), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    EXPECT_EQ(ReadLineAt(path, 3, version), std::nullopt);
    EXPECT_EQ(ReadLineAt(path, 3), "3");
    Put(Path("other.txt"), "h\n1\n2\n");
    fs::rename(Path("other.txt"), path);
    EXPECT_EQ(ReadLineAt(path, 3, version), std::nullopt);
    fs::remove(path);
    EXPECT_EQ(ReadLineAt(path, 3), std::nullopt);
    EXPECT_EQ(ReadLineAt(dir.string(), 1), std::nullopt);   // a folder
    EXPECT_EQ(ReadLineAt("/dev/zero", 1), std::nullopt);    // a line without end
    EXPECT_FALSE(LineFile().Version());
}
