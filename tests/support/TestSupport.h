#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "framework/runtime/FolderEntries.h"
#include "framework/runtime/Handles.h"

// The build folder as a Windows path (set by the test runner).
inline std::string BuildDir()
{
    const char* dir = std::getenv("ZELMORIA_BUILD_DIR");
    return dir ? dir : ".";
}

inline std::string StandInPath(const std::string& version)
{
    return BuildDir() + "\\standin\\" + version + "\\Korvantis.exe";
}

// A name no other test process uses at the same time.
inline std::string UniqueName(const std::string& base)
{
    return base + "." + std::to_string(GetCurrentProcessId());
}

inline std::vector<unsigned char> ReadWholeFile(const std::string& path)
{
    std::vector<unsigned char> data;
    const TKernelHandle file(
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return data;
    data.resize(GetFileSize(file.Get(), nullptr));
    DWORD done = 0;
    if (!data.empty())
        ReadFile(file.Get(), data.data(), static_cast<DWORD>(data.size()), &done, nullptr);
    data.resize(done);
    return data;
}

// A folder of its own under the system's temporary folder (or the given
// one), removed with everything in it when the object goes.
class TTempFolder {
public:
    TTempFolder() : TTempFolder(SystemTempFolder()) {}
    explicit TTempFolder(const std::string& under)
        : path_(under + "\\" + UniqueName("zelmoria-test") + "." + std::to_string(counter_++))
    {
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TTempFolder() { RemoveTree(path_); }

    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

    // Whether the folder could be made.
    bool Made() const { return GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES; }

private:
    static std::string SystemTempFolder()
    {
        char base[MAX_PATH] = {};
        const DWORD length = GetTempPathA(MAX_PATH, base);
        // Given with a backslash at the end.
        return std::string(base, length > 0 ? length - 1 : 0);
    }

    static void RemoveTree(const std::string& folder)
    {
        for (const TFolderEntry& entry : FindEntries(folder + "\\*")) {
            const std::string path = folder + "\\" + entry.name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.isFolder)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        }
        RemoveDirectoryA(folder.c_str());
    }

    static inline int counter_ = 0;
    std::string path_;
};
