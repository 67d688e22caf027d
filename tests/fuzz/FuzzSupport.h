#pragma once
// Shared by the fuzz targets: a scratch folder for the files the readers
// open, a few locale records, and the check that stops a run.

#include "LocaleFormats.h"
#include "../runtime/LocaleSamples.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

namespace fuzz {

// A broken property is a finding like a crash: libFuzzer saves the input.
#define FUZZ_CHECK(condition)                                                        \
    do {                                                                             \
        if (!(condition)) {                                                          \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, \
                         #condition);                                                \
            std::abort();                                                            \
        }                                                                            \
    } while (0)

// One folder per process, under $TMPDIR or /dev/shm, removed at exit. The
// files in it are rewritten for every input, never added to.
class ScratchDir {
public:
    static ScratchDir& Get() {
        static ScratchDir dir;
        return dir;
    }
    std::string File(const char* name) const { return Path() + "/" + name; }

private:
    // Outlives every static destructor: the exit handler below still needs it.
    static std::string& Path() {
        static std::string* path = new std::string;
        return *path;
    }
    ScratchDir() {
        const char* base = std::getenv("TMPDIR");
        if (!base || !*base) base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/quelmora-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        Path() = pattern;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(Path(), ignored);
        });
    }
};

// Replaces the file's contents with bytes (a harness failure aborts: it is no
// finding of the code under test, but it must not pass silently either).
inline void WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    FUZZ_CHECK(fd >= 0);
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        FUZZ_CHECK(n > 0);
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    FUZZ_CHECK(::close(fd) == 0);
}

inline std::string ReadBytes(const std::string& path) {
    std::string bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return bytes;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return bytes;
}

// ISO dates with '-', 24-hour times: the documented time stamps read whole
// when the time mark is '-' as well.
inline LocaleFormats IsoFormats(char timeMark) {
    LocaleFormats f;
    f.dateMark = '-';
    f.shortDatePattern = "yyyy-mm-dd";
    f.timeMark = timeMark;
    f.shortTimePattern = "hh:mm";
    f.longTimePattern = "hh:mm:ss";
    return f;
}

// The process-wide record is replaced only when another one is asked for.
inline void UseFormats(const LocaleFormats& f) {
    static const LocaleFormats* current = nullptr;
    if (current == &f) return;
    Formats() = f;
    current = &f;
}

}  // namespace fuzz
