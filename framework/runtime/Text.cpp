#include "framework/runtime/Text.h"

#include <windows.h>

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

int AnsiCompareText(std::string_view a, std::string_view b)
{
    // CSTR_LESS_THAN, CSTR_EQUAL and CSTR_GREATER are 1, 2 and 3.
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) -
           CSTR_EQUAL;
}

bool AnsiSameText(std::string_view a, std::string_view b)
{
    return AnsiCompareText(a, b) == 0;
}
