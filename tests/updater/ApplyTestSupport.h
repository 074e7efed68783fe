#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/runtime/FolderEntries.h"
#include "framework/runtime/Streams.h"

// Names of the entries of a folder, sorted.
inline std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const TFolderEntry& entry : FindEntries(folder + "\\*"))
        names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
}

inline void WriteWholeFile(const std::string& path, const std::vector<unsigned char>& data)
{
    TFileStream file(path, TFileMode::Create);
    file.WriteBuffer(data.data(), static_cast<std::int32_t>(data.size()));
}
