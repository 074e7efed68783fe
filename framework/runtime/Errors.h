#pragma once

#include <exception>
#include <string>
#include <string_view>

// Base of every error the program raises. The message is Shift-JIS text that
// may be shown to the user as it stands.
class Exception : public std::exception {
public:
    explicit Exception(std::string message);

    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

class EStreamError : public Exception {
public:
    using Exception::Exception;
};

class EReadError : public EStreamError {
public:
    EReadError();
};

class EWriteError : public EStreamError {
public:
    EWriteError();
};

class EFCreateError : public EStreamError {
public:
    explicit EFCreateError(std::string_view path);
};

class EFOpenError : public EStreamError {
public:
    explicit EFOpenError(std::string_view path);
};

class EResNotFound : public Exception {
public:
    explicit EResNotFound(std::string_view name);
};

class EOutOfMemory : public Exception {
public:
    EOutOfMemory();
};

// The message of any exception that reaches an error display: ours carry
// their own text, allocation failures become EOutOfMemory's text, and
// anything else is described by what().
std::string MessageOf(const std::exception& error);
