#pragma once

#include <string>
#include <string_view>

#include "framework/runtime/ShiftJis.h"

// Joining a folder and a file name, by characters: a folder that ends in a
// double-byte character whose second byte is that of "\" gets its "\".

std::string AddBackslash(std::string_view text, const TLeadBytes& leads = TLeadBytes::System());
std::string RemoveBackslash(std::string_view text, const TLeadBytes& leads = TLeadBytes::System());
std::string JoinPath(std::string_view folder, std::string_view fileName, const TLeadBytes& leads = TLeadBytes::System());
