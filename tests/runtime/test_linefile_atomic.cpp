#include "test_linefile_util.h"

#include <csignal>
#include <cstdio>
#include <thread>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class AtomicWrite : public ScratchDir {
  protected:
    std::string target() const { return Path("result.txt"); }
};

TEST_F(AtomicWrite, CloseReplacesTheFileInOneStep) {
    Put(target(), "earlier");
    chmod(target().c_str(), 0640);
    LineFile f;
    f.OpenWriteAtomic(target());
    f.Write(std::string(300, 'n'));
    // Until Close the earlier file stands; the new text goes to a temporary beside it.
    EXPECT_EQ(Get(target()), "earlier");
    const V during = Names(dir);
    ASSERT_EQ(during.size(), 2u);
    EXPECT_EQ(during[0].rfind(".result.txt.", 0), 0u);
    f.Close();
    EXPECT_EQ(Get(target()), std::string(300, 'n'));
    EXPECT_EQ(Names(dir), V{"result.txt"});
    EXPECT_EQ(fs::status(target()).permissions(), fs::perms(0640));

    // A new file gets the mode a plain open would give it.
    const mode_t mask = umask(0);
    umask(mask);
    f.OpenWriteAtomic(Path("fresh.txt"));
    f.Close();
    EXPECT_EQ(fs::status(Path("fresh.txt")).permissions(), fs::perms(0666 & ~mask));

    // A symbolic link stays a link to the replaced file.
    fs::create_symlink("result.txt", dir / "link.txt");
    f.OpenWriteAtomic(Path("link.txt"));
    f.Write("via link");
    f.Close();
    EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
    EXPECT_EQ(Get(target()), "via link");

    { // Never closed: no trace.
        LineFile g;
        g.OpenWriteAtomic(target());
        g.Write(std::string(1000, 'n'));
    }
    EXPECT_EQ(Get(target()), "via link");
    EXPECT_EQ(Names(dir), (V{"fresh.txt", "link.txt", "result.txt"}));
}

// A file size limit makes write() fail for real: once while a buffer goes out
// during Write, once in the flush at Close.
TEST_F(AtomicWrite, FailedWriteOrRenameKeepsTheEarlierFile) {
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    for (const std::size_t buffer : {std::size_t{256}, std::size_t{1} << 20}) {
        SCOPED_TRACE(buffer);
        Put(target(), "earlier");
        LineFile f;
        f.OpenWriteAtomic(target(), buffer);
        rlimit tight = saved;
        tight.rlim_cur = 1000;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
        const int number = ErrorOf([&] {
            for (int i = 0; i < 20; ++i)
                f.Write(std::string(100, 'n'));
            f.Close();
        });
        setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_EQ(number, 223);
        EXPECT_EQ(Get(target()), "earlier");
        EXPECT_EQ(Names(dir), V{"result.txt"});
        EXPECT_EQ(ErrorOf([&] { f.Close(); }), 103); // the failure ended the channel
    }
    std::signal(SIGXFSZ, oldHandler);

    // Something puts a folder in the file's place before Close: the rename fails.
    LineFile f;
    f.OpenWriteAtomic(target());
    f.Write("new");
    fs::remove(target());
    fs::create_directories(dir / "result.txt" / "inner");
    EXPECT_EQ(ErrorOf([&] { f.Close(); }), 5);
    EXPECT_EQ(Names(dir), V{"result.txt"});
}

// A real full disk: a 64 KiB tmpfs in a mount namespace of a child process.
TEST_F(AtomicWrite, DiskFullKeepsTheEarlierFile) {
    fs::create_directory(dir / "small");
    const std::string folder = Path("small");
    const std::string uid = std::to_string(geteuid()), gid = std::to_string(getegid());
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (unshare(CLONE_NEWNS) != 0) {
            if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) _exit(77);
            Put("/proc/self/setgroups", "deny");
            Put("/proc/self/uid_map", "0 " + uid + " 1");
            Put("/proc/self/gid_map", "0 " + gid + " 1");
        }
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") != 0)
            _exit(77);
        Put(folder + "/result.txt", "earlier");
        int number = 0;
        try {
            LineFile f;
            f.OpenWriteAtomic(folder + "/result.txt", 4096);
            for (int i = 0; i < 10000; ++i)
                f.Write(std::string(100, 'n'));
            f.Close();
        } catch (const EInOutError& e) {
            number = e.ErrorNumber;
        }
        _exit(number != 101                              ? 1
              : Get(folder + "/result.txt") != "earlier" ? 2
              : Names(folder) != V{"result.txt"}         ? 3
                                                         : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no permission to mount a small file system";
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "1: not reported as disk full, 2: earlier file changed, 3: temporary left behind";
}

TEST_F(AtomicWrite, PipesAndDevicesAreWrittenDirectly) {
    ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = Get(Path("pipe")); });
    LineFile f;
    f.OpenWriteAtomic(Path("pipe"));
    f.Write("through");
    f.EndLine();
    f.Close();
    reader.join();
    EXPECT_EQ(received, "through\r\n");
    EXPECT_EQ(Names(dir), V{"pipe"});

    f.OpenWriteAtomic("/dev/null");
    f.Write(std::string(1000, 'n'));
    f.Close();
    for (const std::string& name : Names("/dev"))
        EXPECT_NE(name.rfind(".null.", 0), 0u) << name;
}

// Batch mode names standard output as /dev/stdout. Redirected to a file with
// ">>", the output must land after what is there, and the link must survive.
TEST_F(AtomicWrite, StandardOutputRedirectedToAFile) {
    if (!fs::is_symlink("/dev/stdout")) GTEST_SKIP() << "no /dev/stdout link";
    Put(target(), "keep\n");
    struct stat before {};
    ASSERT_EQ(stat(target().c_str(), &before), 0);
    const int fd = open(target().c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    std::fflush(stdout);
    const int savedOut = dup(1);
    dup2(fd, 1);
    close(fd);
    const int number = ErrorOf([&] {
        LineFile f;
        f.OpenWriteAtomic("/dev/stdout");
        f.Write("result");
        f.EndLine();
        f.Close();
    });
    dup2(savedOut, 1);
    close(savedOut);
    EXPECT_EQ(number, 0);
    EXPECT_EQ(Get(target()), "keep\nresult\r\n");
    struct stat after {};
    ASSERT_EQ(stat(target().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino); // appended to, not replaced
    EXPECT_TRUE(fs::is_symlink("/dev/stdout"));
    EXPECT_EQ(Names(dir), V{"result.txt"});
}

// A shell that redirected standard output with ">" and writes there itself
// before and after: the position is shared, so nothing overwrites anything.
// The same for a descriptor named /dev/fd/N or /proc/self/fd/N.
TEST_F(AtomicWrite, OwnDescriptorsShareTheirPosition) {
    if (!fs::is_symlink("/dev/stdout")) GTEST_SKIP() << "no /dev/stdout link";
    const int fd = open(target().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "before\n", 7), 7);
    std::fflush(stdout);
    const int savedOut = dup(1);
    dup2(fd, 1);
    auto put = [](const std::string& name, const char* text) {
        return ErrorOf([&] {
            LineFile f;
            f.OpenWriteAtomic(name);
            f.Write(text);
            f.EndLine();
            f.Close();
        });
    };
    const int viaStdout = put("/dev/stdout", "result");
    const int viaFd = put("/dev/fd/" + std::to_string(fd), "second");
    const int viaProc = put("/proc/self/fd/" + std::to_string(fd), "third");
    dup2(savedOut, 1);
    close(savedOut);
    EXPECT_EQ(write(fd, "after\n", 6), 6);
    close(fd);
    EXPECT_EQ(viaStdout, 0);
    EXPECT_EQ(viaFd, 0);
    EXPECT_EQ(viaProc, 0);
    EXPECT_EQ(Get(target()), "before\nresult\r\nsecond\r\nthird\r\nafter\n");
    EXPECT_EQ(Names(dir), V{"result.txt"});

    // A descriptor that is not open is an error, and nothing is created.
    EXPECT_NE(put("/proc/self/fd/987", "lost"), 0);
    EXPECT_TRUE(fs::is_symlink("/dev/stdout"));
}

} // namespace
