#pragma once
// Switches the C library's locale for a test, as the application object
// switches it to the user's, and back afterwards.

#include <clocale>
#include <string>

class TCLibraryLocale {
public:
    explicit TCLibraryLocale(const char* name) : saved_(std::setlocale(LC_ALL, nullptr)) {
        active_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~TCLibraryLocale() { std::setlocale(LC_ALL, saved_.c_str()); }
    TCLibraryLocale(const TCLibraryLocale&) = delete;
    TCLibraryLocale& operator=(const TCLibraryLocale&) = delete;

    // False when the locale is not installed (tools/setup.sh generates the
    // ones the tests use).
    bool Active() const { return active_; }
    // The decimal point the C library's formatting would now use.
    static std::string DecimalPoint() { return std::localeconv()->decimal_point; }

private:
    std::string saved_;
    bool active_ = false;
};
