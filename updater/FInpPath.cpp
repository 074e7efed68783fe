#include "updater/FInpPath.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "framework/StringTable.h"

namespace {

constexpr unsigned kInstallDirKey = 65317;
constexpr unsigned kDefaultFolderName = 65319;

} // namespace

std::optional<std::string> QueryRecordedInstallDir(const std::string& subKey)
{
    // One spare byte keeps the text terminated even when the stored value
    // fills the whole buffer without a terminator of its own.
    char buffer[257] = {};
    LONG size = 256;
    if (RegQueryValueA(HKEY_CLASSES_ROOT, subKey.c_str(), buffer, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(buffer, strnlen(buffer, 256));
}

std::string GetProgramFilesDir()
{
    char expanded[261] = {};
    const DWORD length = ExpandEnvironmentStringsA("%ProgramFiles%", expanded, sizeof expanded);
    if (length > 0 && length <= sizeof expanded && std::strcmp(expanded, "%ProgramFiles%") != 0)
        return expanded;

    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return {};
    std::string result;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, "ProgramFilesDir", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ) && size > 0) {
        std::vector<char> value(size + 1, '\0');
        if (RegQueryValueExA(key, "ProgramFilesDir", nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()),
                             &size) == ERROR_SUCCESS)
            result = value.data();
    }
    RegCloseKey(key);
    return result;
}

std::string ProposedInstallDir()
{
    if (auto recorded = QueryRecordedInstallDir(LoadStr(kInstallDirKey)))
        return *recorded;
    return GetProgramFilesDir() + LoadStr(kDefaultFolderName);
}
