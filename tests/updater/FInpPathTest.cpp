#include <gtest/gtest.h>

#include <windows.h>

#include "framework/controls/Edit.h"
#include "framework/controls/GlyphButton.h"
#include "framework/controls/StandardClasses.h"
#include "framework/runtime/Handles.h"
#include "framework/runtime/StringTable.h"
#include "resources/StringIds.h"
#include "tests/support/TestHandles.h"
#include "tests/support/TestSupport.h"
#include "updater/FInpPath.h"
#include "updater/InstallDir.h"
#include "updater/ProgramValues.h"

namespace {

std::string SystemsProgramFilesDir()
{
    char recorded[MAX_PATH] = {};
    DWORD size = sizeof recorded;
    RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                 RRF_RT_REG_SZ, nullptr, recorded, &size);
    return recorded;
}

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

TEST(ProgramFilesDir, WithoutTheVariableOrWithAnEmptyOneTheSystemsRecordedFolderIsUsed)
{
    const std::string recorded = SystemsProgramFilesDir();
    ASSERT_FALSE(recorded.empty());
    SetEnvironmentVariableA("ProgramFiles", nullptr);
    EXPECT_EQ(GetProgramFilesDir(), recorded);
    SetEnvironmentVariableA("ProgramFiles", "");
    EXPECT_EQ(GetProgramFilesDir(), recorded);
}

// The dialog as it opens, with the product's own recorded folder; the
// program's working folder holds a product executable.
class InstallFolderDialog : public testing::Test {
protected:
    static void SetUpTestSuite() { RegisterStandardClasses(); }

    void SetUp() override
    {
        const TKernelHandle file(
            CreateFileA(folder_.File("Korvantis.exe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        TargetExePath = "C:\\left\\from\\before\\Korvantis.exe";
    }
    void TearDown() override
    {
        const std::string key = LoadStr(IDS_INSTALL_DIR_KEY);
        RegDeleteTreeA(HKEY_CLASSES_ROOT, key.substr(0, key.find('\\')).c_str());
    }

    static void Record(const std::string& folder)
    {
        RegSetValueA(HKEY_CLASSES_ROOT, LoadStr(IDS_INSTALL_DIR_KEY).c_str(), REG_SZ, folder.c_str(),
                     static_cast<DWORD>(folder.size()));
    }

    TTempFolder folder_;
    const TWorkingFolder workingFolder_{folder_.Path()};
};

TEST_F(InstallFolderDialog, EmptyProposalStillDecidesTheStartButtonAndTheTarget)
{
    Record("");
    const auto dialog = CreateForm<TfrmInputPath>(nullptr);
    EXPECT_EQ(dialog->Edit1->Text(), "");
    // An empty folder joins to the bare file name, found in the working folder.
    EXPECT_EQ(TargetExePath, "Korvantis.exe");
    EXPECT_TRUE(dialog->BitBtn2->Enabled());
    EXPECT_NE(dialog->BitBtn2->Glyph(), nullptr);
}

TEST_F(InstallFolderDialog, RecordedFolderIsProposedAndDecidesTheStartButton)
{
    Record(folder_.Path());
    auto dialog = CreateForm<TfrmInputPath>(nullptr);
    EXPECT_EQ(dialog->Edit1->Text(), folder_.Path());
    EXPECT_EQ(TargetExePath, folder_.File("Korvantis.exe"));
    EXPECT_TRUE(dialog->BitBtn2->Enabled());

    Record(folder_.File("empty"));
    dialog = CreateForm<TfrmInputPath>(nullptr);
    EXPECT_EQ(TargetExePath, folder_.File("empty\\Korvantis.exe"));
    EXPECT_FALSE(dialog->BitBtn2->Enabled());
}

} // namespace
