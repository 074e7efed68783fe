#include "framework/runtime/SystemLibrary.h"

#include <cstring>

FARPROC SystemProcedure(const char* library, const char* function) noexcept
{
    char path[MAX_PATH];
    const UINT folderLength = GetSystemDirectoryA(path, MAX_PATH);
    const std::size_t nameLength = std::strlen(library);
    if (folderLength == 0 || folderLength + 1 + nameLength >= MAX_PATH)
        return nullptr;
    path[folderLength] = '\\';
    std::memcpy(path + folderLength + 1, library, nameLength + 1);
    HMODULE module = GetModuleHandleA(path);
    if (!module)
        module = LoadLibraryA(path);
    return module ? GetProcAddress(module, function) : nullptr;
}
