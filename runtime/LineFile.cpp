#include "LineFile.h"

#include "Exceptions.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/magic.h>
#include <sys/vfs.h>
#endif

namespace {

// Large enough that a file of a million lines costs a few hundred reads.
constexpr std::size_t kReadBuffer = 256 * 1024;
constexpr char kCtrlZ = 26;

std::string FolderOf(const std::string& name) {
    const auto slash = name.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return name.substr(0, slash);
}

// ENOENT means a missing file only when the folder it should be in exists;
// otherwise the path itself is wrong.
bool FolderOfExists(const std::string& name) {
    if (name.empty() || name.back() == '/') return false;
    struct stat st;
    return ::stat(FolderOf(name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int InOutNumber(int err, const std::string& name) {
    switch (err) {
    case ENOENT:
        return FolderOfExists(name) ? 2 : 3;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EINVAL:
    case ELOOP:
        return 3;
    case EMFILE:
    case ENFILE:
        return 4;
    case EACCES:
    case EPERM:
    case EROFS:
        return 5;
    case EISDIR: {
        // Creating "name/" fails so whether or not that folder exists.
        struct stat st;
        return !name.empty() && name.back() == '/' && ::stat(name.c_str(), &st) != 0 ? 3 : 5;
    }
    case ENOSPC:
    case EDQUOT:
        return 101;
    case EIO:
        return 31;
    case ETXTBSY:
    case EBUSY:
        return 32;
    case EPIPE:
        return 109;
    case EFBIG:
        return 223;
    default:
        return 1000 + err;
    }
}

// A name the system cannot pass on unchanged is a bad name, not some other file.
bool UsableName(const std::string& name) {
    return !name.empty() && name.find('\0') == std::string::npos;
}

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do
        fd = ::open(path, flags, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// Returns 0 or the errno of the failure.
int WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return ENOSPC;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

// Close errors are real on some file systems (a full quota reported late), so
// they count; an interrupted close has still released the descriptor.
int CloseFd(int fd) {
    if (::close(fd) != 0 && errno != EINTR) return errno;
    return 0;
}

// True when name reaches its file through a link to an open descriptor
// (/dev/stdout, /dev/fd/N, /proc/self/fd/N). Such a name must never be
// renamed over: it would replace the link itself, not the file.
// The number N when path names one of this process's own descriptors as
// /proc/self/fd/N (or /proc/thread-self/fd/N, /proc/PID/fd/N with our PID),
// -1 otherwise.
int OwnDescriptorNumber(const std::string& path) {
    const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
    std::string_view rest;
    for (const std::string_view prefix : {std::string_view("/proc/self/fd/"), std::string_view("/proc/thread-self/fd/"),
                                          std::string_view(own)})
        if (path.starts_with(prefix)) rest = std::string_view(path).substr(prefix.size());
    if (rest.empty() || rest.size() > 9) return -1;
    int n = 0;
    for (const char c : rest) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

// Follows the symbolic links of name: kOwnDescriptor + N when they lead to
// this process's descriptor N (/dev/stdout, /dev/fd/3, ...), kOtherDescriptor
// when they pass through another descriptor link, kNoDescriptor otherwise.
constexpr int kNoDescriptor = -1, kOtherDescriptor = -2;
int DescriptorBehind(const std::string& name) {
    std::string path = name;
    for (int hop = 0; hop < 40; ++hop) {
        // The folders on the way may be links themselves (/dev/fd is one).
        if (char* real = ::realpath(FolderOf(path).c_str(), nullptr)) {
            const auto slash = path.rfind('/');
            const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
            path = std::string(real) + (std::string_view(real) == "/" ? "" : "/") + base;
            std::free(real);
        }
        if (const int n = OwnDescriptorNumber(path); n >= 0) return n;
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return kNoDescriptor;
        const std::string folder = FolderOf(path);
#ifdef __linux__
        struct statfs fs;
        if (::statfs(folder.c_str(), &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC) return kOtherDescriptor;
#else
        if (path.rfind("/dev/fd/", 0) == 0 || path.rfind("/dev/std", 0) == 0) return kOtherDescriptor;
#endif
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
        if (n <= 0) return kNoDescriptor;
        std::string next(target, static_cast<std::size_t>(n));
        path = next.front() == '/' ? next : folder + "/" + next;
    }
    return kNoDescriptor;
}

// Creates a fresh temporary beside target, named ".<name>.XXXXXX". Created
// with O_EXCL and mode 0666 so the umask applies as for a plain open.
int CreateTemporary(const std::string& target, std::string& tempName, int& err) {
    static std::atomic<unsigned long> counter{0};
    static const char digits[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const auto slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    // Room for the dot and the suffix within the usual 255-byte name limit.
    const std::string base =
        (slash == std::string::npos ? target : target.substr(slash + 1)).substr(0, 240);
    for (int attempt = 0; attempt < 100; ++attempt) {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        unsigned long long seed = static_cast<unsigned long long>(now.tv_nsec) ^
                                  (static_cast<unsigned long long>(::getpid()) << 20) ^
                                  (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
        std::string suffix(6, 'x');
        for (char& c : suffix) {
            c = digits[seed % 62];
            seed /= 62;
        }
        tempName = folder + "." + base + "." + suffix;
        const int fd =
            OpenRetrying(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        if (errno != EEXIST) break;
    }
    err = errno;
    tempName.clear();
    return -1;
}

} // namespace

LineFile::~LineFile() {
    Release();
}

void LineFile::Release() noexcept {
    if (mode_ == Mode::writing) {
        if (tempName_.empty()) {
            // Best effort: the owner skipped Close, so nobody hears of a failure.
            WriteAll(fd_, pending_.data(), pending_.size());
            CloseFd(fd_);
        } else {
            CloseFd(fd_);
            ::unlink(tempName_.c_str());
        }
    } else if (mode_ == Mode::reading) {
        CloseFd(fd_);
    } else if (mode_ == Mode::staged) {
        ::unlink(tempName_.c_str());   // never published
    }
    mode_ = Mode::closed;
    fd_ = -1;
    pos_ = len_ = ctrlZ_ = nul_ = 0;
    lineHadNul_ = sawCr_ = sawLf_ = false;
    sourceDone_ = false;
    pending_.clear();
    tempName_.clear();
    targetName_.clear();
    staged_ = false;
}

void LineFile::Fail(int err) {
    const int number = InOutNumber(err, fileName_);
    if (mode_ == Mode::writing) {
        if (!tempName_.empty())
            Release(); // the target stays as it was
        else
            pending_.clear(); // what could not be written is lost; Close only closes
    }
    throw EInOutError(number);
}

void LineFile::CheckReading() const {
    if (mode_ == Mode::reading) return;
    throw EInOutError(mode_ == Mode::closed ? 103 : 104);
}

void LineFile::CheckWriting() const {
    if (mode_ == Mode::writing) return;
    throw EInOutError(mode_ == Mode::closed ? 103 : 105);
}

void LineFile::OpenRead(const std::string& fileName) {
    Release();
    fileName_ = fileName;
    if (!UsableName(fileName)) throw EInOutError(3);
    const int fd = OpenRetrying(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw EInOutError(InOutNumber(errno, fileName));
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        CloseFd(fd);
        throw EInOutError(5);
    }
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    if (!readBuf_) readBuf_ = std::make_unique_for_overwrite<char[]>(kReadBuffer);
    fd_ = fd;
    mode_ = Mode::reading;
}

// The buffer comes first: once a file or temporary exists, nothing may fail
// before the channel owns it.
void LineFile::PrepareWrite(const std::string& fileName, std::size_t writeBuffer) {
    Release();
    fileName_ = fileName;
    const std::size_t cap = writeBuffer == 0 ? 1 : writeBuffer;
    if (writeCap_ != cap) {
        // Room for a whole buffer and the line that overfills it.
        std::string().swap(pending_);
        pending_.reserve(cap + 4096);
        writeCap_ = cap;
    }
    if (!UsableName(fileName)) throw EInOutError(3);
}

void LineFile::StartWriting(int fd) {
    pending_.clear();
    fd_ = fd;
    mode_ = Mode::writing;
}

void LineFile::OpenWrite(const std::string& fileName, std::size_t writeBuffer) {
    PrepareWrite(fileName, writeBuffer);
    const int fd = OpenRetrying(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw EInOutError(InOutNumber(errno, fileName));
    StartWriting(fd);
}

void LineFile::OpenWriteAtomic(const std::string& fileName, std::size_t writeBuffer) {
    OpenWriteReplacing(fileName, writeBuffer, true);
}

bool LineFile::OpenWriteStaged(const std::string& fileName, std::size_t writeBuffer, bool direct) {
    if (!OpenWriteReplacing(fileName, writeBuffer, direct)) return false;
    staged_ = true;
    return true;
}

void LineFile::Publish() {
    if (mode_ != Mode::staged) return;
    int err = 0;
    if (::rename(tempName_.c_str(), targetName_.c_str()) != 0) {
        err = errno;
        ::unlink(tempName_.c_str());
    }
    tempName_.clear();
    mode_ = Mode::closed;
    Release();
    if (err) throw EInOutError(InOutNumber(err, fileName_));
}

std::string NotTextReason(std::string_view firstLine, std::string_view nulLine) {
    const bool mark = firstLine.starts_with("\xFF\xFE") || firstLine.starts_with("\xFE\xFF");
    // UTF-16 text that is mostly ASCII has a NUL in every other byte.
    std::size_t even = 0, odd = 0;
    for (std::size_t i = 0; i < nulLine.size(); ++i)
        if (nulLine[i] == '\0') ++(i % 2 ? odd : even);
    const std::size_t pairs = nulLine.size() / 2;
    const bool alternating = pairs >= 2 && std::max(even, odd) * 10 >= pairs * 9;
    return std::string(mark || alternating ? "a UTF-16 file" : "a file with NUL bytes") +
           ", not a text file in the system's code page";
}

int OwnDescriptorOf(const std::string& fileName) {
    const int behind = DescriptorBehind(fileName);
    return behind >= 0 ? behind : -1;
}

bool LineFile::OpenWriteReplacing(const std::string& fileName, std::size_t writeBuffer, bool direct) {
    PrepareWrite(fileName, writeBuffer);

    // One of our own descriptors (standard output as /dev/stdout, say) is
    // written through that descriptor: a shell that redirected it to a file
    // and writes there before or after us shares its position, so nothing
    // overwrites anything. Reopening the name would start a position of its own.
    const int behind = DescriptorBehind(fileName);
    if (behind >= 0) {
        if (!direct) return false;
        const int fd = ::fcntl(behind, F_DUPFD_CLOEXEC, 0);
        if (fd < 0) throw EInOutError(InOutNumber(errno, fileName));
        StartWriting(fd);
        return true;
    }

    std::string target = fileName;
    bool exists = false;
    struct stat st;
    if (::stat(fileName.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) throw EInOutError(5);
        if (!S_ISREG(st.st_mode) || behind == kOtherDescriptor) {
            // Pipes, terminals and devices cannot be replaced; a file behind a
            // descriptor link belongs to whoever opened it, who may be appending.
            if (!direct) return false;
            const int flags =
                S_ISREG(st.st_mode) ? O_WRONLY | O_APPEND | O_CLOEXEC : O_WRONLY | O_CLOEXEC;
            const int fd = OpenRetrying(fileName.c_str(), flags);
            if (fd < 0) throw EInOutError(InOutNumber(errno, fileName));
            StartWriting(fd);
            return true;
        }
        // Renaming would replace even a file its user may not write: refuse
        // what a plain open would refuse.
        if (::faccessat(AT_FDCWD, fileName.c_str(), W_OK, AT_EACCESS) != 0)
            throw EInOutError(InOutNumber(errno, fileName));
        exists = true;
        // Replace the file a symbolic link names, not the link.
        if (char* real = ::realpath(fileName.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    } else {
        const int err = errno;
        if (err != ENOENT || fileName.back() == '/') throw EInOutError(InOutNumber(err, fileName));
    }

    int err = 0;
    std::string tempName;
    const int fd = CreateTemporary(target, tempName, err);
    if (fd < 0) {
        // A folder that takes no new files may still hold a writable file:
        // write it in place then, as a plain open would.
        if (exists && (err == EACCES || err == EPERM)) {
            if (!direct) return false;
            const int inPlace = OpenRetrying(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
            if (inPlace < 0) throw EInOutError(InOutNumber(errno, fileName));
            StartWriting(inPlace);
            return true;
        }
        throw EInOutError(InOutNumber(err, fileName));
    }
    if (exists) {
        // Niceties: the replacement keeps the permissions and, where allowed, the owner.
        ::fchmod(fd, st.st_mode & 07777);
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid())
            if (::fchown(fd, st.st_uid, st.st_gid) != 0) { /* not ours to give away */
            }
    }
    StartWriting(fd);
    tempName_ = std::move(tempName);
    targetName_ = std::move(target);
    return true;
}

bool LineFile::Fill() {
    if (sourceDone_) return false;
    ssize_t n;
    do
        n = ::read(fd_, readBuf_.get(), kReadBuffer);
    while (n < 0 && errno == EINTR);
    if (n < 0) Fail(errno);
    const std::size_t size = static_cast<std::size_t>(n);
    if (size == 0) {
        sourceDone_ = true;
        return false;
    }
    pos_ = 0;
    len_ = size;
    ctrlZ_ = NextCtrlZ(0);
    nul_ = NextNul(0);
    return true;
}

std::size_t LineFile::NextCtrlZ(std::size_t from) const {
    const char* start = readBuf_.get() + from;
    const void* z = std::memchr(start, kCtrlZ, len_ - from);
    return z ? static_cast<std::size_t>(static_cast<const char*>(z) - readBuf_.get()) : len_;
}

std::size_t LineFile::NextNul(std::size_t from) const {
    const char* start = readBuf_.get() + from;
    const void* z = std::memchr(start, '\0', len_ - from);
    return z ? static_cast<std::size_t>(static_cast<const char*>(z) - readBuf_.get()) : len_;
}

void LineFile::ReadLine(std::string& line) {
    CheckReading();
    line.clear();
    lineHadNul_ = false;
    for (;;) {
        if (pos_ == len_ && !Fill()) return;
        const char* start = readBuf_.get() + pos_;
        const char* end = readBuf_.get() + len_;
        const char* lf = static_cast<const char*>(std::memchr(start, '\n', end - start));
        const char* stop = lf ? lf : end;
        sawLf_ = sawLf_ || lf;
        // A Ctrl-Z ends the line's text and is consumed; the rest of its line
        // is then passed over.
        const char* z = readBuf_.get() + ctrlZ_;
        const bool cut = z < stop;
        if (cut) stop = z;
        const std::size_t from = pos_, to = static_cast<std::size_t>(stop - readBuf_.get());
        if (nul_ < to) {
            if (nul_ < from) nul_ = NextNul(from);   // one in text passed over
            if (nul_ < to) {
                lineHadNul_ = true;
                nul_ = NextNul(to);
            }
        }
        // Every CR goes: the one before LF is part of the line end, a lone
        // one is dropped.
        while (const char* cr = static_cast<const char*>(std::memchr(start, '\r', stop - start))) {
            sawCr_ = true;
            line.append(start, cr);
            start = cr + 1;
        }
        line.append(start, stop);
        if (cut) {
            pos_ = ctrlZ_ + 1;
            ctrlZ_ = NextCtrlZ(pos_);
            SkipRestOfLine();
            return;
        }
        if (lf) {
            pos_ = static_cast<std::size_t>(lf + 1 - readBuf_.get());
            return;
        }
        pos_ = len_;
    }
}

void LineFile::SkipRestOfLine() {
    for (;;) {
        if (pos_ == len_ && !Fill()) return;
        const char* start = readBuf_.get() + pos_;
        const void* lf = std::memchr(start, '\n', len_ - pos_);
        const std::size_t stop = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - readBuf_.get()) : len_;
        // A Ctrl-Z on the way is the end of the file: it stays for AtEnd to see.
        if (ctrlZ_ < stop) {
            pos_ = ctrlZ_;
            return;
        }
        if (lf) {
            sawLf_ = true;
            pos_ = stop + 1;
            return;
        }
        pos_ = len_;
    }
}

std::string LineFile::ReadLine() {
    std::string line;
    ReadLine(line);
    return line;
}

bool LineFile::AtEnd() {
    CheckReading();
    if (pos_ == len_ && !Fill()) return true;
    return pos_ == ctrlZ_;
}

// Sends out the whole buffers' worth of the pending text; the rest moves to
// the front.
void LineFile::FlushWhole() {
    const std::size_t whole = pending_.size() - pending_.size() % writeCap_;
    WriteOut(pending_.data(), whole);
    pending_.erase(0, whole);
}

void LineFile::WriteOut(const char* data, std::size_t size) {
    if (const int err = WriteAll(fd_, data, size)) Fail(err);
}

// Everything that does not simply fit the buffer: the buffer fills up and goes
// out exactly when full.
void LineFile::WriteSlow(std::string_view text) {
    CheckWriting();
    if (pending_.size() < writeCap_) {
        const std::size_t room = writeCap_ - pending_.size();
        pending_.append(text.substr(0, room));
        if (text.size() < room) return;
        text.remove_prefix(room);
    }
    FlushWhole();
    if (pending_.empty() && text.size() >= writeCap_) {
        // Whole buffers' worth goes straight out: the file grows exactly as
        // if it had passed through the buffer, without the copy.
        const std::size_t whole = text.size() - text.size() % writeCap_;
        WriteOut(text.data(), whole);
        text.remove_prefix(whole);
    }
    pending_.append(text);
    Commit();
}

void LineFile::Close() {
    if (mode_ == Mode::closed || mode_ == Mode::staged) throw EInOutError(103);
    int err = 0;
    if (mode_ == Mode::writing) {
        err = WriteAll(fd_, pending_.data(), pending_.size());
        pending_.clear();
    }
    const int closeErr = CloseFd(fd_);
    if (!err) err = closeErr;
    fd_ = -1;
    if (!tempName_.empty()) {
        if (!err && staged_) {
            mode_ = Mode::staged;   // whole; Publish() puts it in place
            return;
        }
        if (!err && ::rename(tempName_.c_str(), targetName_.c_str()) != 0) err = errno;
        if (err) ::unlink(tempName_.c_str());
    }
    const Mode was = mode_;
    mode_ = Mode::closed;
    Release(); // resets the rest; nothing left to write or remove
    // A reader has nothing to lose by a failed close; a writer may have lost data.
    if (err && was == Mode::writing) throw EInOutError(InOutNumber(err, fileName_));
}

std::optional<TFileVersion> LineFile::Version() const {
    struct stat st;
    if (mode_ != Mode::reading || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    TFileVersion v;
    v.device = static_cast<std::uint64_t>(st.st_dev);
    v.inode = static_cast<std::uint64_t>(st.st_ino);
    v.size = static_cast<std::int64_t>(st.st_size);
    v.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return v;
}

std::optional<std::string> ReadLineAt(const std::string& fileName, std::int64_t number,
                                      const std::optional<TFileVersion>& version) {
    if (number < 1) return std::nullopt;
    try {
        LineFile file;
        file.OpenRead(fileName);
        // A pipe or a device cannot be read again: it would give other lines
        // (or never end one).
        const std::optional<TFileVersion> now = file.Version();
        if (!now || (version && now != version)) return std::nullopt;
        std::string line;
        for (std::int64_t n = 1; n <= number; ++n) {
            if (file.AtEnd()) return std::nullopt;
            file.ReadLine(line);
        }
        return line;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}
