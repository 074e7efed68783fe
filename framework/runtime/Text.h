#pragma once

#include <string>
#include <string_view>

// printf-style formatting into a string of any length. Texts are Shift-JIS
// bytes; %s inserts bytes unchanged.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Compares two 8-bit texts of the system's code page the way the user's
// locale sorts them, without regard to case (also of double-byte letters):
// negative, zero or positive. Names of resources are matched with it.
int AnsiCompareText(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);
