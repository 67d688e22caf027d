#include "OutputSet.h"

#include "LineFile.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a name reaches.
struct TIdentity {
    bool standardOutput = false;   // "-", or a name of our descriptor 1
    bool exists = false;           // device and inode hold
    dev_t device = 0;
    ino_t inode = 0;
    bool characterDevice = false;
    bool nullDevice = false;
    std::string path;              // where nothing exists yet: the resolved path
};

bool IsNullDevice(const struct stat& st) {
    struct stat null;
    return S_ISCHR(st.st_mode) && ::stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode) &&
           st.st_rdev == null.st_rdev;
}

void Take(TIdentity& id, const struct stat& st) {
    id.exists = true;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.characterDevice = S_ISCHR(st.st_mode);
    id.nullDevice = IsNullDevice(st);
}

// A name that reaches no file yet: the real path of its folder (links
// followed, "." and ".." gone) and its own last part.
std::string ResolvedPath(const std::string& name) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path given = fs::absolute(fs::path(name), error);
    // Component by component, links followed before ".." is taken.
    const fs::path folder = fs::weakly_canonical(given.parent_path(), error);
    return error ? given.lexically_normal().string() : (folder / given.filename()).string();
}

TIdentity IdentityOf(const std::string& name, bool output) {
    TIdentity id;
    struct stat st;
    int descriptor = output && name == "-" ? 1 : OwnDescriptorOf(name);
    if (descriptor >= 0) {
        id.standardOutput = output && descriptor == 1;
        if (::fstat(descriptor, &st) == 0) Take(id, st);
        return id;
    }
    if (::stat(name.c_str(), &st) == 0)
        Take(id, st);
    else
        id.path = ResolvedPath(name);
    return id;
}

bool SameFile(const TIdentity& a, const TIdentity& b) {
    if (a.exists && b.exists) return a.device == b.device && a.inode == b.inode;
    return !a.exists && !b.exists && a.path == b.path;
}

const char* kNothingDone = "; nothing was read or written";

}  // namespace

std::string TOutputSet::ShownName(const std::string& name) {
    return name == "-" || OwnDescriptorOf(name) == 1 ? kStandardOutput : name;
}

void TOutputSet::AddInput(std::string option, std::string name) {
    entries_.push_back({std::move(option), std::move(name), false, 0, {}, {}, {}});
}

std::size_t TOutputSet::AddOutput(std::string option, std::string name, std::size_t writeBuffer) {
    entries_.push_back({std::move(option), std::move(name), true, writeBuffer, {}, {}, {}});
    return entries_.size() - 1;
}

void TOutputSet::SetWriter(std::size_t output, TWriter writer) { entries_.at(output).writer = std::move(writer); }

void TOutputSet::Check(bool closedStandardOutput) const {
    std::vector<TIdentity> ids;
    ids.reserve(entries_.size());
    for (const TEntry& e : entries_) ids.push_back(IdentityOf(e.name, e.output));
    for (std::size_t b = 0; b < entries_.size(); ++b) {
        const TEntry& later = entries_[b];
        if (!later.output) continue;
        if (ids[b].standardOutput && closedStandardOutput)
            throw EOutputRefused(std::string(kStandardOutput) + ": Bad file descriptor", 1);
        for (std::size_t a = 0; a < entries_.size(); ++a) {
            if (a == b || (entries_[a].output && a > b)) continue;
            const TEntry& other = entries_[a];
            if (other.output) {
                if (ids[a].standardOutput && ids[b].standardOutput)
                    throw EOutputRefused(later.option + " and " + other.option +
                                             " both go to standard output: each output needs a place of its own" +
                                             kNothingDone,
                                         2);
                // Any number of outputs may go nowhere.
                if (ids[a].nullDevice || ids[b].nullDevice || !SameFile(ids[a], ids[b])) continue;
                throw EOutputRefused(later.option + " and " + other.option + " both name " + later.name +
                                         ": each output needs a file of its own" + kNothingDone,
                                     2);
            }
            // A terminal or another device read and written loses nothing.
            if (ids[a].characterDevice || ids[b].characterDevice || !SameFile(ids[a], ids[b])) continue;
            throw EOutputRefused(later.option + " names " + later.name + ", the file " + other.option +
                                     " reads: an output never replaces an input" + kNothingDone,
                                 2);
        }
    }
}

LineFile* TOutputSet::StageEarly(std::size_t output) {
    TEntry& e = entries_[output];
    auto file = std::make_shared<LineFile>();
    try {
        if (!file->OpenWriteStaged(e.name == "-" ? "/proc/self/fd/1" : e.name, e.writeBuffer, false)) return nullptr;
    } catch (const std::exception&) {
        return nullptr;
    }
    e.early = std::move(file);
    return e.early.get();
}

void TOutputSet::EarlyWriteFailed(std::size_t output, std::exception_ptr error) {
    TEntry& e = entries_[output];
    if (!e.earlyError) e.earlyError = std::move(error);
}

void TOutputSet::Commit() {
    struct TStaged {
        std::size_t entry;
        std::shared_ptr<LineFile> file;
    };
    std::vector<TStaged> staged;
    std::vector<std::size_t> direct;
    auto make = [&](std::size_t i, bool directly) {
        const TEntry& e = entries_[i];
        if (e.early) {
            try {
                if (e.earlyError) std::rethrow_exception(e.earlyError);
                e.early->Close();
            } catch (const std::exception& x) {
                const auto* own = dynamic_cast<const Exception*>(&x);
                throw EOutputFailed(ShownName(e.name) + ": " + (own ? own->Message : std::string(x.what())));
            }
            staged.push_back({i, e.early});
            return;
        }
        auto file = std::make_shared<LineFile>();
        try {
            // Standard output by a name that needs neither /dev nor /proc.
            if (!file->OpenWriteStaged(e.name == "-" ? "/proc/self/fd/1" : e.name, e.writeBuffer, directly)) {
                direct.push_back(i);
                return;
            }
            e.writer(*file);
            file->Close();
        } catch (const std::exception& x) {
            const auto* own = dynamic_cast<const Exception*>(&x);
            throw EOutputFailed(ShownName(e.name) + ": " + (own ? own->Message : std::string(x.what())));
        }
        if (!directly) staged.push_back({i, std::move(file)});
    };
    // Whatever can be replaced as a whole goes to its temporary first.
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].output && (entries_[i].writer || entries_[i].early)) make(i, false);
    // Then what is written as it goes, standard output last: a failure there
    // still leaves every file as it was.
    std::stable_partition(direct.begin(), direct.end(),
                          [&](std::size_t i) { return ShownName(entries_[i].name) != kStandardOutput; });
    const std::vector<std::size_t> directly = std::move(direct);
    direct.clear();
    for (const std::size_t i : directly) make(i, true);
    for (TStaged& s : staged) {
        try {
            s.file->Publish();
        } catch (const Exception& x) {
            throw EOutputFailed(ShownName(entries_[s.entry].name) + ": " + x.Message);
        }
    }
}

namespace {
bool gStandardOutputClosed = false;
}

void GuardStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free descriptor: this one, as those below are open.
        const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) ::close(null);
        if (fd == 1) gStandardOutputClosed = true;
    }
}

bool StandardOutputWasClosed() { return gStandardOutputClosed; }
