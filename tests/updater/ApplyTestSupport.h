#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/runtime/Streams.h"

// Names of the files in a folder, sorted.
inline std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = entry.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

inline void WriteWholeFile(const std::string& path, const std::vector<unsigned char>& data)
{
    TFileStream file(path, TFileMode::Create);
    file.WriteBuffer(data.data(), static_cast<std::int32_t>(data.size()));
}
