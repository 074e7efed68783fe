#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "framework/runtime/SystemLibrary.h"

namespace {

// The file of the module that holds the address.
std::string ModuleFileOf(const void* address)
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<const char*>(address), &module);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    return path;
}

TEST(SystemLibraryTest, AFunctionComesFromTheSystemFolderAndWorks)
{
    auto* sizeOf = SystemFunction<decltype(GetFileVersionInfoSizeA)>("version.dll", "GetFileVersionInfoSizeA");
    ASSERT_NE(sizeOf, nullptr);
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, ModuleFileOf(reinterpret_cast<void*>(sizeOf)).c_str(),
                             -1, (std::string(system) + "\\version.dll").c_str(), -1),
              CSTR_EQUAL);
    DWORD handle = 0;
    EXPECT_GT(sizeOf((std::string(system) + "\\kernel32.dll").c_str(), &handle), 0u);
    // Asked again, the library already loaded answers.
    EXPECT_EQ(SystemFunction<decltype(GetFileVersionInfoSizeA)>("version.dll", "GetFileVersionInfoSizeA"), sizeOf);
}

TEST(SystemLibraryTest, AMissingLibraryOrFunctionIsNone)
{
    EXPECT_EQ(SystemProcedure("no-such-library.dll", "Anything"), nullptr);
    EXPECT_EQ(SystemProcedure("version.dll", "NoSuchFunction"), nullptr);
    EXPECT_EQ(SystemProcedure(std::string(MAX_PATH, 'x').c_str(), "Anything"), nullptr);
}

} // namespace
