// The real updater against a real installation, driven through its windows.

#include <gtest/gtest.h>

#include <windows.h>

#include "framework/runtime/Handles.h"
#include "tests/support/TestSupport.h"
#include "tests/support/UiDriver.h"

namespace {

const std::string kTitle = "Zelmoria 3.04アップデーター";
const std::string kInstallKey = "Korvantis.Application\\dstDir";

std::string UpdaterPath()
{
    return BuildDir() + "\\bin\\ZelmoriaUpdate.exe";
}

class UpdateFlow : public testing::Test {
protected:
    void SetUp() override { folder_ = installRoot_.File("Korvantis"); }
    void TearDown() override
    {
        updater_.reset();
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "Korvantis.Application");
    }

    // The stand-in of that version installed in the folder, and recorded.
    void Install(const std::string& version, const std::string& folder)
    {
        CreateDirectoryA(folder.c_str(), nullptr);
        ASSERT_TRUE(CopyFileA(StandInPath(version).c_str(), (folder + "\\Korvantis.exe").c_str(), FALSE));
        Record(folder);
    }
    void Record(const std::string& folder)
    {
        RegSetValueA(HKEY_CLASSES_ROOT, kInstallKey.c_str(), REG_SZ, folder.c_str(),
                     static_cast<DWORD>(folder.size()));
    }

    void StartUpdater()
    {
        updater_ = std::make_unique<TProcess>(UpdaterPath());
        mainWindow_ = WaitFor([&] {
            for (HWND window : TopLevelWindows(updater_->Id())) {
                if (WindowText(window) == kTitle && FindChild(window, "", "アップデート"))
                    return window;
            }
            return HWND{};
        });
        ASSERT_NE(mainWindow_, nullptr) << "the main window did not appear";
    }

    void PressUpdate()
    {
        HWND button = FindChild(mainWindow_, "", "アップデート");
        ASSERT_NE(button, nullptr);
        Press(button);
    }

    // The install-folder dialog: the top-level window with the start button.
    HWND WaitForFolderDialog()
    {
        return WaitFor([&] {
            for (HWND window : TopLevelWindows(updater_->Id())) {
                if (window != mainWindow_ && FindChild(window, "", "開始"))
                    return window;
            }
            return HWND{};
        });
    }

    // Reads the next message box, presses its button, and answers its text.
    std::string NextMessage()
    {
        HWND box = WaitFor([&] { return FindMessageBox(updater_->Id()); });
        if (!box)
            return "(no message)";
        const TMessageBoxText message = ReadMessageBox(box);
        EXPECT_EQ(message.caption, kTitle);
        const std::vector<HWND> buttons = ChildrenOfClass(box, "Button");
        if (!buttons.empty())
            Press(buttons.front());
        WaitUntil([&] { return !IsWindow(box); }, 5000);
        return message.text;
    }

    bool ButtonsShown() const
    {
        return FindChild(mainWindow_, "", "アップデート") && FindChild(mainWindow_, "", "終了");
    }

    TTempFolder installRoot_;
    std::string folder_;
    std::unique_ptr<TProcess> updater_;
    HWND mainWindow_ = nullptr;
};

TEST_F(UpdateFlow, UpdatesAnEligibleInstallationAndEnds)
{
    Install("3.0.3.999", folder_);
    StartUpdater();
    PressUpdate();
    HWND dialog = WaitForFolderDialog();
    ASSERT_NE(dialog, nullptr);
    HWND edit = ChildrenOfClass(dialog, "Edit").front();
    EXPECT_EQ(WindowText(edit), folder_);
    Press(FindChild(dialog, "", "開始"));

    EXPECT_EQ(NextMessage(), "アップデートは正常に終了しました");
    ASSERT_TRUE(updater_->WaitForExit(10000));
    // Ended by returning from its entry, not by an abort.
    EXPECT_EQ(updater_->ExitCode(), 0u);
    EXPECT_EQ(ReadWholeFile(folder_ + "\\Korvantis.exe"), ReadWholeFile(StandInPath("3.0.4.0")));
}

TEST_F(UpdateFlow, RunningProductIsReportedAndTheNextPressGoesOn)
{
    Install("3.0.3.999", folder_);
    StartUpdater();
    {
        TProcess product(StandInPath("3.0.3.999"));
        ASSERT_TRUE(WaitUntil(
            [] { return static_cast<bool>(TKernelHandle(OpenMutexA(SYNCHRONIZE, FALSE, "Zelmoria.3.0.Tessaro"))); }));
        PressUpdate();
        EXPECT_EQ(NextMessage(), "Zelmoriaは実行中です");
        EXPECT_EQ(FindMessageBox(updater_->Id()), nullptr);
        EXPECT_TRUE(WaitUntil([&] { return ButtonsShown(); }));
    }
    PressUpdate();
    HWND dialog = WaitForFolderDialog();
    ASSERT_NE(dialog, nullptr);
    Press(FindChild(dialog, "", "いいえ"));
    EXPECT_TRUE(WaitUntil([&] { return ButtonsShown(); }));
    EXPECT_EQ(FindMessageBox(updater_->Id()), nullptr);
}

struct RefusalCase {
    const char* version;
    const char* message;
};

class Refusal : public UpdateFlow, public testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusal, InstallationThatMayNotBeUpdatedKeepsTheDialogOpen)
{
    Install(GetParam().version, folder_);
    const auto before = ReadWholeFile(folder_ + "\\Korvantis.exe");
    StartUpdater();
    PressUpdate();
    HWND dialog = WaitForFolderDialog();
    ASSERT_NE(dialog, nullptr);
    Press(FindChild(dialog, "", "開始"));
    EXPECT_EQ(NextMessage(), GetParam().message);
    EXPECT_TRUE(IsWindowVisible(dialog));
    Press(FindChild(dialog, "", "いいえ"));
    EXPECT_TRUE(WaitUntil([&] { return ButtonsShown(); }));
    EXPECT_EQ(ReadWholeFile(folder_ + "\\Korvantis.exe"), before);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, Refusal,
    testing::Values(RefusalCase{"3.0.4.0", "お使いのZelmoriaは、アップデートの必要がありません"},
                    RefusalCase{"3.1.0.0", "お使いのZelmoriaは、アップデートの必要がありません"},
                    RefusalCase{"2.9.9.9", "このZelmoriaを、アップデートすることはできません"},
                    RefusalCase{"4.0.0.0", "このZelmoriaを、アップデートすることはできません"},
                    RefusalCase{"no-version", "このZelmoriaを、アップデートすることはできません"}));

TEST_F(UpdateFlow, ReadOnlyTargetIsReportedAndLeftAlone)
{
    Install("3.0.3.999", folder_);
    const std::string target = folder_ + "\\Korvantis.exe";
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY);
    const auto before = ReadWholeFile(target);
    StartUpdater();
    PressUpdate();
    HWND dialog = WaitForFolderDialog();
    ASSERT_NE(dialog, nullptr);
    Press(FindChild(dialog, "", "開始"));
    EXPECT_EQ(NextMessage(), "ファイルが読み取り専用になっているためアップデートできません\r\n" + target);
    EXPECT_EQ(NextMessage(), "アップデート処理に失敗しました");
    EXPECT_TRUE(WaitUntil([&] { return ButtonsShown(); }));
    EXPECT_TRUE(updater_->Running());
    EXPECT_EQ(ReadWholeFile(target), before);
}

TEST_F(UpdateFlow, FolderTypedByHandEndingInADoubleByteCharacter)
{
    const std::string folder = installRoot_.File("表");
    Install("3.0.3.999", folder);
    Record(installRoot_.Path());
    StartUpdater();
    PressUpdate();
    HWND dialog = WaitForFolderDialog();
    ASSERT_NE(dialog, nullptr);
    HWND start = FindChild(dialog, "", "開始");
    EXPECT_FALSE(IsWindowEnabled(start));
    TypeInto(ChildrenOfClass(dialog, "Edit").front(), folder);
    EXPECT_TRUE(IsWindowEnabled(start));
    Press(start);
    EXPECT_EQ(NextMessage(), "アップデートは正常に終了しました");
    EXPECT_TRUE(updater_->WaitForExit(10000));
    EXPECT_EQ(ReadWholeFile(folder + "\\Korvantis.exe"), ReadWholeFile(StandInPath("3.0.4.0")));
}

TEST_F(UpdateFlow, EmptyRecordedFolderLeavesTheFieldEmptyAndStartDisabled)
{
    Record("");
    StartUpdater();
    PressUpdate();
    HWND dialog = WaitForFolderDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowText(ChildrenOfClass(dialog, "Edit").front()), "");
    EXPECT_FALSE(IsWindowEnabled(FindChild(dialog, "", "開始")));
    Press(FindChild(dialog, "", "いいえ"));
}

TEST_F(UpdateFlow, WithoutARecordedFolderProgramFilesIsProposed)
{
    char programFiles[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableA("ProgramFiles", programFiles, MAX_PATH), 0u);
    StartUpdater();
    PressUpdate();
    HWND dialog = WaitForFolderDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowText(ChildrenOfClass(dialog, "Edit").front()), std::string(programFiles) + "\\Korvantis");
    Press(FindChild(dialog, "", "いいえ"));
}

TEST_F(UpdateFlow, FolderChosenInTheBrowserByDoubleClick)
{
    Install("3.0.3.999", folder_);
    Record(installRoot_.Path());
    StartUpdater();
    PressUpdate();
    HWND dialog = WaitForFolderDialog();
    ASSERT_NE(dialog, nullptr);
    Press(FindChild(dialog, "", "参照(&R)..."));
    HWND browser = WaitFor([&] {
        for (HWND window : TopLevelWindows(updater_->Id())) {
            if (WindowText(window) == "フォルダの選択")
                return window;
        }
        return HWND{};
    });
    ASSERT_NE(browser, nullptr);
    HWND list = ChildrenOfClass(browser, "ListBox").front();
    const LRESULT rows = SendMessageA(list, LB_GETCOUNT, 0, 0);
    int korvantis = -1;
    for (int row = 0; row < rows; ++row) {
        if (ListBoxRowText(list, row) == "Korvantis")
            korvantis = row;
    }
    ASSERT_GE(korvantis, 0);
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(korvantis), 0);
    DoubleClickRow(list, korvantis);
    Sleep(500);
    Press(FindChild(browser, "", "はい"));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(browser); }));
    EXPECT_EQ(WindowText(ChildrenOfClass(dialog, "Edit").front()), folder_);
    EXPECT_TRUE(IsWindowEnabled(FindChild(dialog, "", "開始")));
    Press(FindChild(dialog, "", "いいえ"));
}

} // namespace
