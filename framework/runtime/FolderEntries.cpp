#include "framework/runtime/FolderEntries.h"

#include "framework/runtime/Handles.h"

std::vector<TFolderEntry> FindEntries(const std::string& pattern)
{
    std::vector<TFolderEntry> entries;
    for (TFindFile find(pattern); find.Found(); find.Next()) {
        const WIN32_FIND_DATAA& entry = find.Entry();
        const std::string name = entry.cFileName;
        if (name != "." && name != "..")
            entries.push_back({name, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    }
    return entries;
}
