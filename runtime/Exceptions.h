#pragma once
// The errors of the program. Every error travels as an exception carrying the
// message the user will read; the application's error display shows it.

#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }
    std::string Message;
};

class EConvertError : public Exception { using Exception::Exception; };
class EStringListError : public Exception { using Exception::Exception; };

// Aborts a handler silently: the error display never shows it.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
};

class EInOutError : public Exception {
public:
    // The message comes from the error number (InOutErrorMessage).
    explicit EInOutError(int errorNumber);
    int ErrorNumber;
};

// The message the user reads for a file error number: "File not found" for 2,
// "I/O error %d" for numbers without a text of their own.
std::string InOutErrorMessage(int errorNumber);

class EMathError : public Exception { using Exception::Exception; };
class EZeroDivide : public EMathError {
public:
    EZeroDivide() : EMathError("Floating point division by zero") {}
};
class EInvalidOp : public EMathError {
public:
    EInvalidOp() : EMathError("Invalid floating point operation") {}
};
class EOverflow : public EMathError {
public:
    EOverflow() : EMathError("Floating point overflow") {}
};
