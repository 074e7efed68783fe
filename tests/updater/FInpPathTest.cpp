#include <gtest/gtest.h>

#include <windows.h>

#include "tests/support/TestSupport.h"
#include "updater/FInpPath.h"

namespace {

// A key of its own below HKEY_CLASSES_ROOT, removed afterwards.
class RecordedFolder : public testing::Test {
protected:
    const std::string key_ = UniqueName("ZelmoriaTest.Application") + "\\dstDir";

    void Record(const std::string& value)
    {
        RegSetValueA(HKEY_CLASSES_ROOT, key_.c_str(), REG_SZ, value.c_str(), static_cast<DWORD>(value.size()));
    }

    void TearDown() override { RegDeleteTreeA(HKEY_CLASSES_ROOT, key_.substr(0, key_.find('\\')).c_str()); }
};

TEST_F(RecordedFolder, ValueIsTheFolder)
{
    Record("D:\\Games\\Korvantis");
    EXPECT_EQ(QueryRecordedInstallDir(key_), "D:\\Games\\Korvantis");
}

TEST_F(RecordedFolder, EmptyValueIsAnEmptyFolder)
{
    Record("");
    EXPECT_EQ(QueryRecordedInstallDir(key_), "");
}

TEST_F(RecordedFolder, MissingKeyOrValueLongerThanTheBufferGivesNothing)
{
    EXPECT_FALSE(QueryRecordedInstallDir(key_).has_value());
    Record(std::string(255, 'a'));
    EXPECT_EQ(QueryRecordedInstallDir(key_), std::string(255, 'a'));
    Record(std::string(256, 'a'));
    EXPECT_FALSE(QueryRecordedInstallDir(key_).has_value());
}

TEST(ProgramFilesDir, EnvironmentComesFirst)
{
    SetEnvironmentVariableA("ProgramFiles", "E:\\Programme");
    EXPECT_EQ(GetProgramFilesDir(), "E:\\Programme");
}

TEST(ProgramFilesDir, WithoutTheVariableTheSystemsRecordedFolderIsUsed)
{
    char recorded[MAX_PATH] = {};
    DWORD size = sizeof recorded;
    RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                 RRF_RT_REG_SZ, nullptr, recorded, &size);
    SetEnvironmentVariableA("ProgramFiles", nullptr);
    EXPECT_EQ(GetProgramFilesDir(), recorded);
}

} // namespace
