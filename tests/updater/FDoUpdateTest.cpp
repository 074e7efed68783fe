// The progress dialog itself: its run from the ready notice to its own
// closing, what it shows on the way, and the lifetime of its error handler.

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <optional>
#include <string>
#include <vector>

#include "framework/controls/Label.h"
#include "framework/controls/ProgressBar.h"
#include "framework/controls/StandardClasses.h"
#include "framework/runtime/Handles.h"
#include "framework/runtime/Streams.h"
#include "framework/ui/Application.h"
#include "framework/ui/MessageLoop.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/TestSupport.h"
#include "tests/updater/ApplyTestSupport.h"
#include "updater/FDoUpdate.h"
#include "updater/ProgramValues.h"
#include "updater/Rdynotfy.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Names = std::vector<std::string>;

const std::string kUnexpected = "予期しないエラーが発生しました\r\n";

// What one run of the dialog showed: its modal result, the text of the error
// box (empty when none came up), and, while the box was up, the bar's
// position and whether the dialog took input.
struct TRun {
    int result = mrNone;
    std::string shown;
    int positionWhenShown = -1;
    bool dialogEnabledWhenShown = true;
    int position = -1;
    int max = -1;
};

class ProgressDialog : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RegisterStandardClasses();
        TClassRegistry::Register<TReadyNotifier>();
    }

    void SetUp() override
    {
        Application().SetTitle("Zelmoria 3.04アップデーター");
        UpdateVersionMajor = 3;
        UpdateVersionMinor = 4;
        TargetExePath = target_;
    }

    void InstallOld() { WriteWholeFile(target_, old_); }

    // Opens the dialog as the update flow does and lets it run; an error box
    // that comes up is read and dismissed.
    static TRun Run(bool showsError)
    {
        TRun run;
        auto dialog = CreateForm<TfrmDoUpdate>(nullptr);
        HWND bar = dialog->ProgressBar1->Handle();
        std::optional<TMessageBoxWatcher> watcher;
        if (showsError) {
            watcher.emplace(dialog->Handle(), 10000, [&run, bar] {
                run.positionWhenShown = static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0));
            });
        }
        run.result = dialog->ShowModal();
        if (watcher) {
            const auto& seen = watcher->Wait();
            run.shown = seen.text;
            run.dialogEnabledWhenShown = seen.watchedEnabled;
        }
        run.position = dialog->ProgressBar1->Position();
        run.max = dialog->ProgressBar1->Max();
        EXPECT_FALSE(Application().OnException()) << "the dialog's error handler outlived its run";
        return run;
    }

    TTempFolder folder_;
    const std::string target_ = folder_.File("Korvantis.exe");
    const Bytes old_ = ReadWholeFile(StandInPath("3.0.3.999"));
    const Bytes carried_ = ReadWholeFile(StandInPath("3.0.4.0"));
};

TEST_F(ProgressDialog, OpensWithTheTitleTheVersionAndNoWayToCloseIt)
{
    UpdateVersionMajor = 12;
    UpdateVersionMinor = 7;
    const auto dialog = CreateForm<TfrmDoUpdate>(nullptr);
    EXPECT_EQ(dialog->Text(), "Zelmoria 3.04アップデーター");
    EXPECT_EQ(dialog->Label1->Text(), "Quellmara12.07にアップデート中です");
    EXPECT_EQ(dialog->Label2->Text(), "少しお待ちください・・・");
    // No system menu: no close box and no window menu to close it with.
    EXPECT_FALSE(GetWindowLongPtrA(dialog->Handle(), GWL_STYLE) & WS_SYSMENU);
}

TEST_F(ProgressDialog, ReplacesTheTargetAndClosesItselfWithOk)
{
    ASSERT_FALSE(old_.empty());
    ASSERT_NE(old_, carried_);
    InstallOld();
    const TRun run = Run(false);
    EXPECT_EQ(run.result, mrOk);
    EXPECT_EQ(run.position, 3);
    EXPECT_EQ(run.max, 3);
    EXPECT_EQ(ReadWholeFile(target_), carried_);
    EXPECT_EQ(FolderEntries(folder_.Path()), Names{"Korvantis.exe"});
}

TEST_F(ProgressDialog, CloseRequestsDuringTheWorkDoNotStopIt)
{
    InstallOld();
    auto dialog = CreateForm<TfrmDoUpdate>(nullptr);
    // Queued behind the ready notice, as keys and clicks of a user would be.
    HWND window = dialog->Handle();
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(window, WM_SYSKEYDOWN, VK_F4, 1 << 29);
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(dialog->ShowModal(), mrOk);
    EXPECT_EQ(ReadWholeFile(target_), carried_);
}

TEST_F(ProgressDialog, MissingTargetIsCreated)
{
    EXPECT_EQ(Run(false).result, mrOk);
    EXPECT_EQ(ReadWholeFile(target_), carried_);
}

TEST_F(ProgressDialog, ReadOnlyTargetStopsTheRunAfterThePayloadIsInMemory)
{
    InstallOld();
    ASSERT_TRUE(SetFileAttributesA(target_.c_str(), FILE_ATTRIBUTE_READONLY));
    const TRun run = Run(true);
    EXPECT_EQ(run.shown, "ファイルが読み取り専用になっているためアップデートできません\r\n" + target_);
    EXPECT_EQ(run.positionWhenShown, 2);
    EXPECT_FALSE(run.dialogEnabledWhenShown);
    EXPECT_EQ(run.result, mrCancel);
    EXPECT_EQ(ReadWholeFile(target_), old_);
    EXPECT_TRUE(GetFileAttributesA(target_.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(FolderEntries(folder_.Path()), Names{"Korvantis.exe"});
}

TEST_F(ProgressDialog, TargetInAMissingFolderFailsAtTheLastStep)
{
    TargetExePath = folder_.File("gone\\Korvantis.exe");
    const TRun run = Run(true);
    EXPECT_EQ(run.shown, kUnexpected + "ファイル " + TargetExePath + " を作成できません");
    EXPECT_EQ(run.positionWhenShown, 3);
    EXPECT_EQ(run.result, mrCancel);
    EXPECT_EQ(FolderEntries(folder_.Path()), Names{});
}

TEST_F(ProgressDialog, TargetInUseIsLeftAsItWasWithoutTemporaryFile)
{
    InstallOld();
    TKernelHandle inUse(CreateFileA(target_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(inUse);
    const TRun run = Run(true);
    inUse.Close();
    EXPECT_EQ(run.shown, kUnexpected + "ファイル " + target_ + " を作成できません");
    EXPECT_EQ(run.result, mrCancel);
    EXPECT_EQ(ReadWholeFile(target_), old_);
    EXPECT_EQ(FolderEntries(folder_.Path()), Names{"Korvantis.exe"});
}

TEST_F(ProgressDialog, HandlerOfARunEndedWithoutCloseQueryGoesWithTheDialog)
{
    {
        auto dialog = CreateForm<TfrmDoUpdate>(nullptr);
        // A run that the end of the program cuts short never asks the close query.
        Application().Terminate();
        EXPECT_EQ(dialog->ShowModal(), mrCancel);
        TMessageLoop::Reset();
        ASSERT_TRUE(Application().OnException()) << "the run asked the close query after all";
    }
    EXPECT_FALSE(Application().OnException());
    TMessageBoxWatcher watcher;
    Application().HandleException(nullptr, std::make_exception_ptr(EReadError()));
    const auto& seen = watcher.Wait();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.text, "ストリームからの読み込みエラー.");
    EXPECT_EQ(seen.icon, LoadIconA(nullptr, IDI_HAND));
}

} // namespace
