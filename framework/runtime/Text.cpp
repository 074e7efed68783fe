#include "framework/runtime/Text.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

// The system's own formatter: texts need no more than %d and %s, and the
// C library's portable one would bring its float conversions into the
// program.
std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = _vscprintf(format, measure);
    va_end(measure);

    std::string result;
    if (length > 0) {
        result.resize(static_cast<std::size_t>(length) + 1);
        _vsnprintf(result.data(), result.size(), format, args);
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
