#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/TestHandles.h"

// Copies an executable and replaces (or, with no bytes, deletes) one of its
// resources in the copy, for tests of how the program meets other data.
inline bool MakeResourceVariant(const std::string& source, const std::string& copy, const char* type,
                                const char* name, const std::vector<unsigned char>& bytes)
{
    if (!CopyFileA(source.c_str(), copy.c_str(), FALSE))
        return false;
    TResourceUpdate update(copy);
    if (!update)
        return false;
    // Resources of this program are stored in Japanese.
    const WORD language = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
    const bool replaced = UpdateResourceA(update.Get(), type, name, language,
                                          bytes.empty() ? nullptr : const_cast<unsigned char*>(bytes.data()),
                                          static_cast<DWORD>(bytes.size()));
    return replaced && update.Commit();
}
