// Real failures, not mocks, through the window's handlers and through the
// batch mode of the built program: a disk that fills up while the result is
// written, files that go or change between choosing and reading, no file
// descriptors left, a result file held by a running program, standard output
// closed. Each test that needs a privilege it does not have skips and says so.

#include "AppGuiTestSupport.h"
#include "FailureTestSupport.h"

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include <sys/sysmacros.h>

using namespace failure_test;

namespace {

const std::string kCurve = "水位H(m),库容V(亿m3)\n495,1.58\n496,1.66\n497,1.74\n";
const std::string kFlood =
    "时间T(m),库水位V(m),出库流量(m3/s)\n2007-07-29 00-00-00,495.5,0\n2007-07-29 06-00-00,496,90\n";

// n records a minute apart, their levels going up and down inside the curve.
std::string FloodOfRecords(int n) {
    std::string text = "时间T(m),库水位V(m),出库流量(m3/s)\n";
    for (int k = 0; k < n; ++k) {
        char line[64];
        const int minutes = k % 1440, day = 1 + k / 1440 % 28;
        std::snprintf(line, sizeof line, "2007-07-%02d %02d-%02d-00,%d.%02d,%d\n", day, minutes / 60,
                      minutes % 60, 495 + k % 2, k * 7 % 100, 90 + k % 13);
        text += line;
    }
    return text;
}

// An earlier result of some size whose every byte matters.
std::string EarlierResult(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t x = 2463534242u;
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return bytes;
}

const std::string kProgram = QUELMORA_EXECUTABLE;

void UseTheProgramsLocale() {
    setenv("LC_ALL", "C.UTF-8", 1);
    LoadLocaleFormats();
}

class WindowFailure : public WindowTest {
protected:
    void SetUp() override {
        setenv("LC_ALL", "C.UTF-8", 1);
        WindowTest::SetUp();
        UseTheProgramsLocale();
    }

    // The curve and the record read through the first two buttons and
    // computed, with no message.
    void LoadAndCompute(const std::string& curve, const std::string& flood) {
        PutFile(folder / "curve.txt", curve);
        PutFile(folder / "flood.txt", flood);
        Answer(folder / "curve.txt");
        Answer(folder / "flood.txt");
        form->BitBtn1->click();
        form->BitBtn2->click();
        form->BitBtn3->click();
        ASSERT_TRUE(messages.shown.empty()) << messages.shown[0].second;
    }

    // The texts shown since the last call.
    std::vector<std::string> Shown() {
        std::vector<std::string> texts;
        for (const auto& [caption, text] : messages.shown) {
            EXPECT_EQ(caption, App().Title());
            texts.push_back(text);
        }
        messages.shown.clear();
        return texts;
    }

    ScratchFolder folder;
};

class BatchFailure : public ::testing::Test {
protected:
    static void SetUpTestSuite() { UseTheProgramsLocale(); }
    ScratchFolder folder;
};

using Texts = std::vector<std::string>;

}  // namespace

// ---------------------------------------------------------------------------
// The disk fills up while the result is written: a 64 KiB file system of our
// own, holding a 40 KiB earlier result. A result that fits the write buffer
// fails when it is closed, a longer one when the first full buffer goes out.

TEST_F(WindowFailure, DiskFullKeepsTheEarlierResultAndLeavesNoTemporary) {
    PrivateMounts mounts;
    fs::create_directory(folder / "small");
    if (!mounts.MountTmpfs(folder / "small", "size=64k,mode=0755"))
        GTEST_SKIP() << "no permission to mount a small file system";
    const std::string earlier = EarlierResult(40 * 1024);
    for (const int records : {2000, 12000}) {
        SCOPED_TRACE(records);
        LoadAndCompute(kCurve, FloodOfRecords(records));
        // What would have been written, and that it is as large as intended.
        Answer(folder / "whole.txt");
        form->BitBtn4->click();
        ASSERT_EQ(Shown(), Texts{});
        const auto size = fs::file_size(folder / "whole.txt");
        ASSERT_GT(size, 64u * 1024);
        ASSERT_EQ(size < 256u * 1024, records == 2000) << "one result inside the write buffer, one beyond";

        PutFile(folder / "small/result.txt", earlier);
        Answer(folder / "small/result.txt");
        form->BitBtn4->click();
        EXPECT_EQ(Shown(), Texts{"Disk full."});
        EXPECT_TRUE(GetFile(folder / "small/result.txt") == earlier) << "the earlier result changed";
        EXPECT_EQ(folder.Names("small"), Texts{"result.txt"}) << "a temporary was left behind";
        // The space is free again: a result that fits goes through.
        fs::remove(folder / "small/result.txt");
        LoadAndCompute(kCurve, FloodOfRecords(10));
        Answer(folder / "small/result.txt");
        form->BitBtn4->click();
        EXPECT_EQ(Shown(), Texts{});
        EXPECT_EQ(folder.Names("small"), Texts{"result.txt"});
    }
}

TEST_F(BatchFailure, DiskFullKeepsTheEarlierResultAndLeavesNoTemporary) {
    PrivateMounts mounts;
    fs::create_directory(folder / "small");
    if (!mounts.MountTmpfs(folder / "small", "size=64k,mode=0755"))
        GTEST_SKIP() << "no permission to mount a small file system";
    PutFile(folder / "curve.txt", kCurve);
    const std::string earlier = EarlierResult(40 * 1024);
    for (const int records : {2000, 12000}) {
        SCOPED_TRACE(records);
        PutFile(folder / "flood.txt", FloodOfRecords(records));
        PutFile(folder / "small/result.txt", earlier);
        const ProgramRun run = RunProgram(
            kProgram, {"--curve", folder / "curve.txt", "--flood", folder / "flood.txt", "--out", folder / "small/result.txt"});
        EXPECT_EQ(run.status, 1);
        // The failure names the output it belongs to.
        EXPECT_EQ(run.err, ErrorLine(folder / "small/result.txt" + ": Disk full."));
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(GetFile(folder / "small/result.txt") == earlier) << "the earlier result changed";
        EXPECT_EQ(folder.Names("small"), Texts{"result.txt"}) << "a temporary was left behind";
    }
}

// The device that is always full: written directly, it fails on the first
// write that reaches it.
TEST_F(WindowFailure, ResultOnTheFullDevice) {
    if (!fs::is_character_file("/dev/full")) GTEST_SKIP() << "no /dev/full";
    LoadAndCompute(kCurve, kFlood);
    Answer("/dev/full");
    form->BitBtn4->click();
    EXPECT_EQ(Shown(), Texts{"Disk full."});
}

TEST_F(BatchFailure, ResultOrStandardOutputOnTheFullDevice) {
    if (!fs::is_character_file("/dev/full")) GTEST_SKIP() << "no /dev/full";
    PutFile(folder / "curve.txt", kCurve);
    PutFile(folder / "flood.txt", kFlood);
    const std::vector<std::string> inputs{"--curve", folder / "curve.txt", "--flood", folder / "flood.txt"};
    std::vector<std::string> toFile = inputs;
    toFile.insert(toFile.end(), {"--out", "/dev/full"});
    const ProgramRun named = RunProgram(kProgram, toFile);
    EXPECT_EQ(named.status, 1);
    EXPECT_EQ(named.err, ErrorLine("/dev/full: Disk full."));

    RunOptions redirected;
    redirected.stdoutTo = "/dev/full";
    const ProgramRun standard = RunProgram(kProgram, inputs, redirected);
    EXPECT_EQ(standard.status, 1);
    EXPECT_EQ(standard.err, ErrorLine("standard output: Disk full."));
}

// ---------------------------------------------------------------------------
// Between the dialog's answer and the handler's read the chosen file goes,
// turns into a folder, or loses its folder. The dialog is the seam: its
// stand-in answers the name and changes the file system as it returns.

TEST_F(WindowFailure, FileChangedBetweenChoosingAndReading) {
    LoadAndCompute(kCurve, kFlood);
    struct Change {
        const char* what;
        void (*apply)(const fs::path& name);
        std::string message;
    };
    const std::vector<Change> changes{
        {"removed", [](const fs::path& name) { fs::remove(name); }, "File not found."},
        {"replaced by a folder",
         [](const fs::path& name) {
             fs::remove(name);
             fs::create_directory(name);
         },
         "File access denied."},
        {"its folder removed", [](const fs::path& name) { fs::remove_all(name.parent_path()); },
         "Invalid filename."},
    };
    for (const Change& change : changes) {
        for (const bool curve : {true, false}) {
            SCOPED_TRACE(std::string(change.what) + (curve ? ", the curve" : ", the flood record"));
            fs::remove_all(folder / "in");
            fs::create_directory(folder / "in");
            const fs::path name = folder / (curve ? "in/curve.txt" : "in/flood.txt");
            PutFile(name.string(), curve ? kCurve : kFlood);
            form->ExecuteOpenDialog = [&change, name] {
                change.apply(name);
                return name.string();
            };
            (curve ? form->BitBtn1 : form->BitBtn2)->click();
            EXPECT_EQ(Shown(), Texts{change.message});
            // A file that cannot be opened leaves the data that was there.
            EXPECT_EQ(form->Work.CurvePoints.size(), 3u);
            EXPECT_EQ(form->Work.FloodSteps.size(), 2u);
        }
    }

    // The folder of the result goes between choosing and writing.
    fs::create_directories(folder / "out");
    form->ExecuteOpenDialog = [this] {
        fs::remove_all(folder / "out");
        return folder / "out/result.txt";
    };
    form->BitBtn4->click();
    EXPECT_EQ(Shown(), Texts{"Invalid filename."});
    EXPECT_FALSE(fs::exists(folder / "out"));
}

// ---------------------------------------------------------------------------
// No file descriptor left to open the chosen file with.

namespace {

// While it lives, this process can open no further file: its descriptor
// limit is lowered to its highest open descriptor and every hole below is
// filled.
class NoDescriptorsLeft {
public:
    NoDescriptorsLeft() {
        if (getrlimit(RLIMIT_NOFILE, &saved_) != 0) return;
        int highest = 2;
        for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
            const int fd = std::stoi(entry.path().filename().string());
            if (fd > highest) highest = fd;
        }
        rlimit low = saved_;
        low.rlim_cur = static_cast<rlim_t>(highest + 1);
        if (setrlimit(RLIMIT_NOFILE, &low) != 0) return;
        lowered_ = true;
        for (;;) {
            const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
            if (fd < 0) break;
            fillers_.push_back(fd);
        }
        active_ = errno == EMFILE;
    }
    ~NoDescriptorsLeft() {
        for (const int fd : fillers_) close(fd);
        if (lowered_) setrlimit(RLIMIT_NOFILE, &saved_);
    }
    NoDescriptorsLeft(const NoDescriptorsLeft&) = delete;
    NoDescriptorsLeft& operator=(const NoDescriptorsLeft&) = delete;
    bool Active() const { return active_; }

private:
    rlimit saved_{};
    bool lowered_ = false;
    bool active_ = false;
    std::vector<int> fillers_;
};

}  // namespace

TEST_F(WindowFailure, NoDescriptorLeftForTheChosenFile) {
    LoadAndCompute(kCurve, kFlood);
    Answer(folder / "curve.txt");
    Answer(folder / "flood.txt");
    Answer(folder / "result.txt");
    {
        NoDescriptorsLeft exhausted;
        if (!exhausted.Active()) GTEST_SKIP() << "the descriptor limit cannot be lowered";
        form->BitBtn1->click();
        form->BitBtn2->click();
        form->BitBtn4->click();
    }
    EXPECT_EQ(Shown(), (Texts{"Too many open files.", "Too many open files.", "Too many open files."}));
    EXPECT_FALSE(fs::exists(folder / "result.txt"));
    EXPECT_EQ(form->Work.CurvePoints.size(), 3u);
    // With descriptors back the same files read and write.
    Answer(folder / "curve.txt");
    Answer(folder / "result.txt");
    form->BitBtn1->click();
    form->BitBtn4->click();
    EXPECT_EQ(Shown(), Texts{});
    EXPECT_TRUE(fs::exists(folder / "result.txt"));
}

// The program's curve comes through a named pipe; while the program reads it,
// its descriptor limit is lowered below the next descriptor it would get, so
// the flood record, opened after the curve, cannot be.
TEST_F(BatchFailure, NoDescriptorLeftForTheFloodRecord) {
    ASSERT_EQ(mkfifo((folder / "curve.pipe").c_str(), 0644), 0);
    PutFile(folder / "flood.txt", kFlood);
    bool lowered = false;
    RunOptions options;
    options.whileRunning = [&](pid_t pid) {
        // Opening the writing end waits for the program to open the reading
        // end; by then the curve holds the program's next descriptor.
        const int pipe = open((folder / "curve.pipe").c_str(), O_WRONLY | O_CLOEXEC);
        if (pipe < 0) return;
        rlimit limit{};
        if (prlimit(pid, RLIMIT_NOFILE, nullptr, &limit) == 0) {
            limit.rlim_cur = 3;   // standard input, output and error only
            lowered = prlimit(pid, RLIMIT_NOFILE, &limit, nullptr) == 0;
        }
        const ssize_t written = write(pipe, kCurve.data(), kCurve.size());
        (void)written;
        close(pipe);
    };
    // A leak check at exit needs descriptors of its own, which the program
    // no longer has: off for this run under the address sanitizer.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string savedAsan = asan ? asan : "";
    setenv("ASAN_OPTIONS", (savedAsan + (savedAsan.empty() ? "" : ":") + "detect_leaks=0").c_str(), 1);
    const ProgramRun run =
        RunProgram(kProgram, {"--curve", folder / "curve.pipe", "--flood", folder / "flood.txt"}, options);
    if (asan)
        setenv("ASAN_OPTIONS", savedAsan.c_str(), 1);
    else
        unsetenv("ASAN_OPTIONS");
    if (!lowered) GTEST_SKIP() << "the program's descriptor limit cannot be lowered";
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, ErrorLine("Too many open files."));
    EXPECT_EQ(run.out, "");
}

// ---------------------------------------------------------------------------
// The chosen result file is a program that is running, in a folder where the
// user may not create files: it can be neither replaced nor written in place.
// The message is the one for a file in use.

namespace {

class BusyResult {
public:
    // folder: owned by root; the copy of a program inside it belongs to nobody.
    explicit BusyResult(const std::string& folder) : path_(folder + "/busy.txt") {
        fs::create_directory(folder);
        fs::permissions(folder, fs::perms(0755));
        std::error_code error;
        if (!fs::copy_file("/bin/sleep", path_, error)) return;
        const UserId nobody = Nobody();
        if (chown(path_.c_str(), nobody.uid, nobody.gid) != 0 || chmod(path_.c_str(), 0755) != 0) return;
        size_ = fs::file_size(path_);
        std::string file = path_, seconds = "60";
        char* argv[] = {file.data(), seconds.data(), nullptr};
        pid_ = fork();
        if (pid_ == 0) {
            execv(file.c_str(), argv);
            _exit(127);
        }
        if (pid_ < 0) return;
        // Running once its program file is the one being executed.
        for (int tries = 0; tries < 500 && !running_; ++tries) {
            std::error_code ignored;
            running_ = fs::read_symlink("/proc/" + std::to_string(pid_) + "/exe", ignored) == path_;
            if (!running_) usleep(2000);
        }
    }
    ~BusyResult() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    BusyResult(const BusyResult&) = delete;
    BusyResult& operator=(const BusyResult&) = delete;

    bool Running() const { return running_; }
    const std::string& Path() const { return path_; }
    std::uintmax_t Size() const { return size_; }

private:
    std::string path_;
    pid_t pid_ = -1;
    bool running_ = false;
    std::uintmax_t size_ = 0;
};

}  // namespace

TEST_F(WindowFailure, ResultIsARunningProgram) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can check files as another user";
    LoadAndCompute(kCurve, kFlood);
    BusyResult busy(folder / "closed");
    if (!busy.Running()) GTEST_SKIP() << "cannot run a copy of /bin/sleep";
    Answer(busy.Path());
    {
        FileAccessAsNobody nobody;
        ASSERT_TRUE(nobody.Active());
        form->BitBtn4->click();
    }
    EXPECT_EQ(Shown(), Texts{"I/O error 32."});
    EXPECT_EQ(fs::file_size(busy.Path()), busy.Size());
    EXPECT_EQ(folder.Names("closed"), Texts{"busy.txt"});
}

TEST_F(BatchFailure, ResultIsARunningProgram) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can run the program as another user";
    PutFile(folder / "curve.txt", kCurve);
    PutFile(folder / "flood.txt", kFlood);
    BusyResult busy(folder / "closed");
    if (!busy.Running()) GTEST_SKIP() << "cannot run a copy of /bin/sleep";
    RunOptions options;
    options.asNobody = true;
    const ProgramRun run = RunProgram(
        kProgram, {"--curve", folder / "curve.txt", "--flood", folder / "flood.txt", "--out", busy.Path()}, options);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, ErrorLine(busy.Path() + ": I/O error 32."));
    EXPECT_EQ(fs::file_size(busy.Path()), busy.Size());
    EXPECT_EQ(folder.Names("closed"), Texts{"busy.txt"});
}

// ---------------------------------------------------------------------------
// Standard output closed: the result has nowhere to go. The program must say
// so and fail, and must not put a file of its own where the name
// /dev/stdout was (it did, as root, renaming its temporary over the link).
// The link lives on a /dev of our own, in a mount namespace of this thread.

TEST_F(BatchFailure, StandardOutputClosed) {
    PutFile(folder / "curve.txt", kCurve);
    PutFile(folder / "flood.txt", kFlood);
    PrivateMounts mounts;
    if (!mounts.MountTmpfs("/dev", "size=64k,mode=0755"))
        GTEST_SKIP() << "no permission to mount a file system of our own on /dev";
    if (symlink("/proc/self/fd/1", "/dev/stdout") != 0 ||
        mknod("/dev/null", S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "cannot furnish a /dev of our own";
    RunOptions options;
    options.stdoutClosed = true;
    const ProgramRun run = RunProgram(kProgram, {"--curve", folder / "curve.txt", "--flood", folder / "flood.txt"}, options);
    const std::vector<std::string> devices = NamesIn("/dev");
    struct stat link{};
    const bool stillALink = lstat("/dev/stdout", &link) == 0 && S_ISLNK(link.st_mode);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, ErrorLine("standard output: Bad file descriptor."));
    EXPECT_TRUE(stillALink) << "/dev/stdout was replaced";
    EXPECT_EQ(devices, (Texts{"null", "stdout"})) << "a temporary was left in /dev";
}
