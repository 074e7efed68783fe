// The standard library raises its errors through the helpers below. Its own
// definitions build std::logic_error and std::runtime_error, whose messages
// are kept in the library's older reference-counted string: linking them
// brings that whole second string class, some 50 KB, into an updater that
// users download. Defined here, they take the place of the library's archive
// member, which is then never linked (a program that still needs it for a
// helper missing here fails to link, loudly).
//
// None of these errors is expected of a correct program, and the
// application's error handling shows any std::exception: a request beyond
// what a container can hold is reported as the allocation failure it amounts
// to, every other one as the framework's error with the library's message.

#include <cstdarg>
#include <cstddef>
#include <new>
#include <string>
#include <typeinfo>
#include <utility>

#include "framework/runtime/Errors.h"

namespace {

// The library's messages use only %s, %zu and %%.
std::string FormatLibraryMessage(const char* format, va_list arguments)
{
    std::string message;
    for (const char* at = format; *at; ++at) {
        if (at[0] == '%' && at[1] == 's') {
            message += va_arg(arguments, const char*);
            ++at;
        } else if (at[0] == '%' && at[1] == 'z' && at[2] == 'u') {
            message += std::to_string(va_arg(arguments, std::size_t));
            at += 2;
        } else if (at[0] == '%' && at[1] == '%') {
            message += '%';
            ++at;
        } else {
            message += *at;
        }
    }
    return message;
}

[[noreturn]] void RaiseLibraryError(const char* message)
{
    throw Exception(message);
}

}  // namespace

namespace std {

void __throw_bad_exception() { throw bad_exception(); }
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_length_error(const char*) { throw bad_alloc(); }
void __throw_logic_error(const char* message) { RaiseLibraryError(message); }
void __throw_domain_error(const char* message) { RaiseLibraryError(message); }
void __throw_invalid_argument(const char* message) { RaiseLibraryError(message); }
void __throw_out_of_range(const char* message) { RaiseLibraryError(message); }
void __throw_runtime_error(const char* message) { RaiseLibraryError(message); }
void __throw_range_error(const char* message) { RaiseLibraryError(message); }
void __throw_overflow_error(const char* message) { RaiseLibraryError(message); }
void __throw_underflow_error(const char* message) { RaiseLibraryError(message); }

void __throw_out_of_range_fmt(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::string message = FormatLibraryMessage(format, arguments);
    va_end(arguments);
    throw Exception(std::move(message));
}

}  // namespace std
