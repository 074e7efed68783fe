// The folder browser's start at the nearest folder that opens, its lists,
// and the shortened path of its label.

#include <gtest/gtest.h>

#include <windows.h>

#include "framework/controls/DirectoryListBox.h"
#include "framework/controls/DriveComboBox.h"
#include "framework/controls/StandardClasses.h"
#include "framework/runtime/Handles.h"
#include "tests/support/TestHandles.h"
#include "tests/support/TestSupport.h"
#include "updater/FSelDir.h"

namespace {

class FolderBrowser : public testing::Test {
protected:
    static void SetUpTestSuite() { RegisterStandardClasses(); }

    void SetUp() override
    {
        CreateDirectoryA(folder_.File("Tools").c_str(), nullptr);
        CreateDirectoryA(folder_.File("Tools\\Beta").c_str(), nullptr);
        CreateDirectoryA(folder_.File("Tools\\alpha").c_str(), nullptr);
        CreateDirectoryA(folder_.File("表").c_str(), nullptr);
        browser_ = CreateForm<TfrmSelDir>(nullptr);
    }

    TTempFolder folder_;
    const TWorkingFolder workingFolder_{folder_.Path()};
    TComponentPtr<TfrmSelDir> browser_;
};

TEST_F(FolderBrowser, StartsAtTheNearestFolderThatOpens)
{
    browser_->SetDirectory(folder_.File("Tools\\Missing\\Deeper"));
    EXPECT_EQ(browser_->GetDirectory(), folder_.File("Tools"));

    browser_->SetDirectory(folder_.File("表"));
    EXPECT_EQ(browser_->GetDirectory(), folder_.File("表"));
}

TEST_F(FolderBrowser, TextsThatCannotBeWalkedUpLeaveTheFolderAsItWas)
{
    const std::string before = browser_->GetDirectory();
    EXPECT_EQ(before, folder_.Path());
    browser_->SetDirectory(folder_.File("Missing\\"));
    EXPECT_EQ(browser_->GetDirectory(), before);
    browser_->SetDirectory("");
    EXPECT_EQ(browser_->GetDirectory(), before);
    browser_->SetDirectory("Q:\\Missing");
    EXPECT_EQ(browser_->GetDirectory(), before);
}

TEST_F(FolderBrowser, BareDriveOpensItsRootAndAMissingFolderOnItGivesWayToTheRoot)
{
    browser_->SetDirectory("C:");
    EXPECT_EQ(browser_->GetDirectory(), "C:\\");
    browser_->SetDirectory("C:\\NoSuchFolder.Zelmoria");
    EXPECT_EQ(browser_->GetDirectory(), "C:\\");
}

TEST_F(FolderBrowser, MakingAFolderCurrentMakesItTheProcesssCurrentFolder)
{
    browser_->SetDirectory(folder_.File("Tools"));
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_EQ(std::string(current), folder_.File("Tools"));
}

TEST_F(FolderBrowser, ListShowsThePathThenTheSortedSubfolders)
{
    browser_->SetDirectory(folder_.File("Tools"));
    HWND list = browser_->DirectoryListBox->Handle();
    const LRESULT rows = SendMessageA(list, LB_GETCOUNT, 0, 0);
    ASSERT_GE(rows, 4);
    auto row = [&](LRESULT index) {
        char text[MAX_PATH] = {};
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
        return std::string(text);
    };
    EXPECT_EQ(row(0), "C:\\");
    EXPECT_EQ(row(rows - 3), "Tools");
    EXPECT_EQ(row(rows - 2), "alpha");
    EXPECT_EQ(row(rows - 1), "Beta");
    EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), rows - 3);
}

TEST_F(FolderBrowser, AFolderThatCannotBeOpenedIsRefusedAndTheListKeepsItsFolder)
{
    browser_->SetDirectory(folder_.File("Tools"));
    EXPECT_THROW(browser_->DirectoryListBox->SetDirectory(folder_.File("Nothing")), Exception);
    EXPECT_EQ(browser_->GetDirectory(), folder_.File("Tools"));
}

TEST(DriveText, LetterColonAndLabelInUpperCase)
{
    EXPECT_EQ(DriveText('a', DRIVE_REMOVABLE), "A:");
    const std::string fixed = DriveText('c', DRIVE_FIXED);
    ASSERT_GE(fixed.size(), 5u);
    EXPECT_EQ(fixed.substr(0, 4), "C: [");
    EXPECT_EQ(fixed.back(), ']');
    for (char c : fixed)
        EXPECT_FALSE(c >= 'a' && c <= 'z') << fixed;
}

TEST(MinimizePath, LeadingFoldersGiveWayToDots)
{
    const TWindowDC screen;
    const HDC dc = screen.Handle();
    const std::string path = "C:\\Program Files\\Zelmoria\\Korvantis\\Data";
    EXPECT_EQ(MinimizePath(dc, path, 10000), path);
    SIZE full{};
    GetTextExtentPoint32A(dc, path.c_str(), static_cast<int>(path.size()), &full);
    const std::string shortened = MinimizePath(dc, path, full.cx - 10);
    EXPECT_EQ(shortened.substr(0, 6), "C:\\...");
    EXPECT_EQ(shortened.substr(shortened.size() - 5), "\\Data");
    SIZE size{};
    GetTextExtentPoint32A(dc, shortened.c_str(), static_cast<int>(shortened.size()), &size);
    EXPECT_LE(size.cx, full.cx - 10);
}

} // namespace
