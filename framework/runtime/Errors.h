#pragma once

#include <windows.h>

#include <exception>
#include <string>
#include <string_view>

// Base of every error the program raises. The message is Shift-JIS text that
// may be shown to the user as it stands. An error raised because a system
// call failed keeps the platform's error code beside the message, for the
// program to tell causes apart; the code is never part of the shown text.
class Exception : public std::exception {
public:
    explicit Exception(std::string message, DWORD platformError = 0);

    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }
    // GetLastError of the failed call, or 0.
    DWORD PlatformError() const noexcept { return platformError_; }

private:
    std::string message_;
    DWORD platformError_;
};

class EStreamError : public Exception {
public:
    using Exception::Exception;
};

class EReadError : public EStreamError {
public:
    explicit EReadError(DWORD platformError = 0);
};

class EWriteError : public EStreamError {
public:
    explicit EWriteError(DWORD platformError = 0);
};

// A position before the start of a stream, or one the platform refuses.
class ESeekError : public EStreamError {
public:
    explicit ESeekError(DWORD platformError = 0);
};

class EFCreateError : public EStreamError {
public:
    explicit EFCreateError(std::string_view path, DWORD platformError = 0);
};

class EFOpenError : public EStreamError {
public:
    explicit EFOpenError(std::string_view path, DWORD platformError = 0);
};

class EResNotFound : public Exception {
public:
    explicit EResNotFound(std::string_view name, DWORD platformError = 0);
};

class EOutOfMemory : public Exception {
public:
    EOutOfMemory();
};

// The message of any exception that reaches an error display: ours carry
// their own text, allocation failures become EOutOfMemory's text, and
// anything else is described by what().
std::string MessageOf(const std::exception& error);
