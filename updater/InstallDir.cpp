#include "updater/InstallDir.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "framework/runtime/Handles.h"
#include "framework/runtime/StringTable.h"
#include "resources/StringIds.h"

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
    // A variable that is there but empty names no folder either.
    if (length > 1 && length <= sizeof expanded && std::strcmp(expanded, "%ProgramFiles%") != 0)
        return expanded;

    const TRegistryKey key(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion");
    if (!key.IsOpen())
        return {};
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key.Handle(), "ProgramFilesDir", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
        return {};
    std::vector<char> value(size + 1, '\0');
    if (RegQueryValueExA(key.Handle(), "ProgramFilesDir", nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()),
                         &size) != ERROR_SUCCESS)
        return {};
    return value.data();
}

std::string ProposedInstallDir()
{
    if (auto recorded = QueryRecordedInstallDir(LoadStr(IDS_INSTALL_DIR_KEY)))
        return *recorded;
    return GetProgramFilesDir() + LoadStr(IDS_DEFAULT_FOLDER_NAME);
}
