// The updater's application manifest, as the system finds it in the built
// executable.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/TestHandles.h"
#include "tests/support/TestSupport.h"

namespace {

std::string UpdaterPath()
{
    return BuildDir() + "\\bin\\ZelmoriaUpdate.exe";
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR found)
{
    reinterpret_cast<std::vector<ULONG_PTR>*>(found)->push_back(reinterpret_cast<ULONG_PTR>(name));
    return TRUE;
}

class Manifest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(module_) << UpdaterPath();
        HRSRC found = FindResourceA(module_.Get(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
        ASSERT_NE(found, nullptr) << "no manifest resource 1";
        const char* data = static_cast<const char*>(LockResource(LoadResource(module_.Get(), found)));
        text_.assign(data, SizeofResource(module_.Get(), found));
    }

    bool Says(const std::string& part) const { return text_.find(part) != std::string::npos; }

    const TLoadedModule module_{UpdaterPath(), LOAD_LIBRARY_AS_DATAFILE};
    std::string text_;
};

TEST_F(Manifest, IsTheProgramsOnlyManifest)
{
    // Windows reads the manifest with number 1 when it starts a program;
    // another one would be ignored there and only mislead a reader.
    std::vector<ULONG_PTR> names;
    EnumResourceNamesA(module_.Get(), MAKEINTRESOURCEA(24), CollectName, reinterpret_cast<LONG_PTR>(&names));
    EXPECT_EQ(names, std::vector<ULONG_PTR>{1});
}

TEST_F(Manifest, AsksForAdministratorRights)
{
    EXPECT_TRUE(Says("<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">"));
    EXPECT_TRUE(Says("<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>"));
}

TEST_F(Manifest, NamesTheSupportedSystemsAndTheOldest)
{
    EXPECT_TRUE(Says("Windows XP SP3 and later"));
    for (const char* id : {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                           "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_TRUE(Says(std::string("<supportedOS Id=\"") + id + "\"/>")) << id;
}

TEST_F(Manifest, KeepsTheClassicLook)
{
    // Version 6 of the common controls is taken only on a dependency
    // that names it.
    EXPECT_FALSE(Says("<dependency"));
    EXPECT_FALSE(Says("Microsoft.Windows.Common-Controls"));
}

TEST_F(Manifest, IsReadByTheSystem)
{
    // The system builds an activation context from the manifest the way it
    // does when the program starts; a malformed manifest stops it there.
    const std::string path = UpdaterPath();
    ACTCTXA context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = path.c_str();
    context.lpResourceName = MAKEINTRESOURCEA(1);
    HANDLE made = CreateActCtxA(&context);
    ASSERT_NE(made, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    ReleaseActCtx(made);
}

} // namespace
