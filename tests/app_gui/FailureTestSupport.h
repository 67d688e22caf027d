#pragma once
// Shared by the failure tests: a scratch folder that another user may enter,
// the built program run as a child (its exit status, standard output and
// error, peak memory), and real causes of failure set up on this thread (a
// small file system of our own, another user's file permissions, a
// descriptor limit).

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sched.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace failure_test {

namespace fs = std::filesystem;

inline void PutFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

inline std::string GetFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The names in a folder, sorted: shows a temporary left behind.
inline std::vector<std::string> NamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh folder under the temporary folder, open to every user for reading
// and entering (the permission cases run as another user), removed with all
// it holds.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "quelmora-failure-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
        fs::permissions(path_, fs::perms(0755));
    }
    ~ScratchFolder() {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(path_, ignored))
            if (entry.is_directory(ignored) && !entry.is_symlink(ignored))
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& path() const { return path_; }

    // The names in a folder of it ("" for itself), sorted.
    std::vector<std::string> Names(const std::string& sub = "") const {
        return NamesIn(sub.empty() ? path_ : path_ / sub);
    }

private:
    fs::path path_;
};

// The unprivileged user the permission cases run as.
struct UserId {
    uid_t uid;
    gid_t gid;
};
inline UserId Nobody() {
    if (const passwd* p = getpwnam("nobody")) return {p->pw_uid, p->pw_gid};
    return {65534, 65534};
}

// While it lives, this thread's file accesses are checked as the user nobody
// (the file system identity only: the process stays what it is, and root's
// override of file modes is gone with it).
class FileAccessAsNobody {
public:
    FileAccessAsNobody() {
        const UserId nobody = Nobody();
        savedGid_ = static_cast<gid_t>(setfsgid(nobody.gid));
        savedUid_ = static_cast<uid_t>(setfsuid(nobody.uid));
        active_ = static_cast<uid_t>(setfsuid(static_cast<uid_t>(-1))) == nobody.uid;
    }
    ~FileAccessAsNobody() {
        setfsuid(savedUid_);
        setfsgid(savedGid_);
    }
    FileAccessAsNobody(const FileAccessAsNobody&) = delete;
    FileAccessAsNobody& operator=(const FileAccessAsNobody&) = delete;
    bool Active() const { return active_; }

private:
    uid_t savedUid_;
    gid_t savedGid_;
    bool active_ = false;
};

// A mount namespace of this thread's own, with file systems mounted in it
// that no other process sees; children started from this thread see them.
// Everything is unmounted and the thread returns to its namespace at the end.
class PrivateMounts {
public:
    PrivateMounts() {
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd)) return;
        cwd_ = cwd;
        original_ = open("/proc/thread-self/ns/mnt", O_RDONLY | O_CLOEXEC);
        if (original_ < 0) return;
        if (unshare(CLONE_NEWNS) != 0) return;
        entered_ = true;
        ready_ = mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }
    ~PrivateMounts() {
        for (auto it = mounted_.rbegin(); it != mounted_.rend(); ++it) umount2(it->c_str(), MNT_DETACH);
        if (entered_) {
            setns(original_, CLONE_NEWNS);
            if (chdir(cwd_.c_str()) != 0) { /* the folder is gone: nothing to return to */
            }
        }
        if (original_ >= 0) close(original_);
    }
    PrivateMounts(const PrivateMounts&) = delete;
    PrivateMounts& operator=(const PrivateMounts&) = delete;

    // Mounts a tmpfs with these options ("size=64k") on folder; false when
    // the system does not let us.
    bool MountTmpfs(const std::string& folder, const std::string& options) {
        if (!ready_ || mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) return false;
        mounted_.push_back(folder);
        return true;
    }
    bool Ready() const { return ready_; }

private:
    std::string cwd_;
    int original_ = -1;
    bool entered_ = false;
    bool ready_ = false;
    std::vector<std::string> mounted_;
};

// The built program run as a child process.
struct ProgramRun {
    int status = -1;   // the exit status; -1 when it did not exit normally
    int signal = 0;    // the signal that ended it, if one did
    std::string out;   // standard output (empty when it went elsewhere)
    std::string err;   // standard error
    long peakKiB = 0;  // peak resident size
    double seconds = 0;
};

struct RunOptions {
    bool asNobody = false;
    // Where standard output goes; by default it is captured.
    std::optional<std::string> stdoutTo;
    bool stdoutClosed = false;
    // Runs while the child runs, with its process id.
    std::function<void(pid_t)> whileRunning;
};

// Runs the program with these arguments, the test's environment and standard
// input from /dev/null.
inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                             const RunOptions& options = {}) {
    const ScratchFolder capture;
    const std::string outPath = options.stdoutTo ? *options.stdoutTo : capture / "stdout";
    const std::string errPath = capture / "stderr";
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const UserId nobody = Nobody();

    const auto start = std::chrono::steady_clock::now();
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        // Only calls that are safe between fork and exec from here on.
        const int in = open("/dev/null", O_RDONLY);
        const int out = options.stdoutClosed ? -1 : open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || err < 0 || (!options.stdoutClosed && out < 0)) _exit(126);
        dup2(in, 0);
        dup2(err, 2);
        if (options.stdoutClosed)
            close(1);
        else
            dup2(out, 1);
        if (options.asNobody &&
            (setgroups(0, nullptr) != 0 || setgid(nobody.gid) != 0 || setuid(nobody.uid) != 0))
            _exit(126);
        execve(program.c_str(), argv.data(), environ);
        _exit(127);
    }
    if (options.whileRunning) options.whileRunning(pid);
    int raw = 0;
    rusage usage{};
    while (wait4(pid, &raw, 0, &usage) < 0)
        if (errno != EINTR) throw std::runtime_error("wait4 failed");
    ProgramRun run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.signal = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
    run.peakKiB = usage.ru_maxrss;
    if (!options.stdoutTo && !options.stdoutClosed) run.out = GetFile(outPath);
    run.err = GetFile(errPath);
    return run;
}

// The batch mode's error line for a message as the user reads it.
inline std::string ErrorLine(const std::string& shown) { return "quelmora: " + shown + "\n"; }

}  // namespace failure_test
