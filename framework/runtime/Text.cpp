#include "framework/runtime/Text.h"

#include <cstdarg>
#include <cstdio>

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);

    std::string result;
    if (length > 0) {
        result.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(result.data(), result.size(), format, args);
        result.resize(static_cast<std::size_t>(length));
    }
    va_end(args);
    return result;
}
