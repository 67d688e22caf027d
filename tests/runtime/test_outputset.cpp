// A run's outputs: refused when two names reach one file (an output and an
// input, or two outputs), however the names are written; written all or none.

#include "OutputSet.h"
#include "test_linefile_util.h"

#include <unistd.h>

namespace {

class Outputs : public ScratchDir {
  protected:
    void SetUp() override {
        ScratchDir::SetUp();
        Put(Path("in.txt"), "the record");
        fs::create_directory(dir / "sub");
        fs::create_symlink("in.txt", dir / "link.txt");
        fs::create_hard_link(dir / "in.txt", dir / "hard.txt");
    }

    // The status of the refusal (0: none) for an input and two outputs.
    int Refusal(const std::string& input, const std::string& first, const std::string& second,
                std::string* message = nullptr) {
        TOutputSet set;
        set.AddInput("--flood", input);
        set.AddOutput("--out", first);
        if (!second.empty()) set.AddOutput("--summary", second);
        try {
            set.Check();
        } catch (const EOutputRefused& e) {
            if (message) *message = e.Message;
            return e.Status;
        }
        return 0;
    }
};

TEST_F(Outputs, NamesReachingOneFileAreRefused) {
    const std::string in = Path("in.txt");
    struct Case {
        std::string first, second;
        int status;
    };
    const std::vector<Case> cases{
        {in, "", 2},                                  // the input itself
        {Path("sub/../in.txt"), "", 2},               // another path
        {Path("link.txt"), "", 2},                    // a symbolic link to it
        {Path("hard.txt"), "", 2},                    // a hard link: the same inode
        {Path("new.txt"), Path("./sub/../new.txt"), 2},   // one file not there yet
        {Path("new.txt"), Path("other.txt"), 0},
        {"-", "/dev/stdout", 2},                      // standard output by any name
        {"/proc/self/fd/1", "-", 2},
        {"/dev/null", "/dev/null", 0},                // nowhere takes any number
        {Path("sub"), "", 0},                         // a folder clashes with nothing (writing it fails)
    };
    for (const Case& c : cases) {
        std::string message;
        EXPECT_EQ(Refusal(in, c.first, c.second, &message), c.status) << c.first << " " << c.second;
        if (c.status) {
            EXPECT_TRUE(message.ends_with("; nothing was read or written")) << message;
        }
    }
    std::string message;
    ASSERT_EQ(Refusal(in, Path("link.txt"), "", &message), 2);
    EXPECT_EQ(message, "--out names " + Path("link.txt") + ", the file --flood reads: an output never replaces an "
                       "input; nothing was read or written");
    // An input read from standard input may share its terminal with standard output.
    if (isatty(0) && isatty(1)) {
        EXPECT_EQ(Refusal("/dev/stdin", "-", ""), 0);
    }
    // Standard output closed at start: refused before anything is read.
    TOutputSet set;
    set.AddOutput("the result (no --out)", "-");
    EXPECT_THROW(set.Check(true), EOutputRefused);
}

TEST_F(Outputs, AllOrNone) {
    Put(Path("a.txt"), "earlier a");
    Put(Path("b.txt"), "earlier b");
    struct Case {
        std::string second;   // the second output's name
        bool throws;          // its writer fails
        std::string message;  // EOutputFailed's, or "" for success
    };
    const std::vector<Case> cases{
        {Path("no/b.txt"), false, Path("no/b.txt") + ": Invalid filename"},
        {"/dev/full", false, "/dev/full: Disk full"},
        {Path("b.txt"), true, Path("b.txt") + ": a value beyond"},
        {Path("sub"), false, Path("sub") + ": File access denied"},
        {Path("b.txt"), false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.second);
        TOutputSet set;
        set.SetWriter(set.AddOutput("--out", Path("a.txt")), [](LineFile& f) { f.Write("new a"); });
        set.SetWriter(set.AddOutput("--summary", c.second), [&](LineFile& f) {
            f.Write(std::string(100000, 'b'));
            if (c.throws) throw Exception("a value beyond");
        });
        std::string message;
        try {
            set.Commit();
        } catch (const EOutputFailed& e) {
            message = e.Message;
        }
        EXPECT_EQ(message, c.message);
        const bool done = c.message.empty();
        EXPECT_EQ(Get(Path("a.txt")), done ? "new a" : "earlier a");
        EXPECT_EQ(Get(Path("b.txt")), done ? std::string(100000, 'b') : "earlier b");
        EXPECT_EQ(Names(dir), (V{"a.txt", "b.txt", "hard.txt", "in.txt", "link.txt", "sub"})) << "a temporary left";
    }
}

}  // namespace
