#pragma once

#include <string>
#include <vector>

// One entry of a folder.
struct TFolderEntry {
    std::string name;
    bool isFolder = false;
};

// The entries that match a search pattern (a folder's path followed by "\*",
// say), without "." and "..", in the order the file system gives them; none
// when the folder cannot be read.
std::vector<TFolderEntry> FindEntries(const std::string& pattern);
