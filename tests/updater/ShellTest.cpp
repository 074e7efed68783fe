// The main window's start-up, the warning box and the ready notifier.

#include <gtest/gtest.h>

#include <windows.h>

#include "framework/controls/StandardClasses.h"
#include "framework/ui/Application.h"
#include "framework/ui/Form.h"
#include "tests/support/UiDriver.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/ResourceVariant.h"
#include "tests/support/StartFailure.h"
#include "tests/support/TestHandles.h"
#include "tests/support/TestSupport.h"
#include "updater/FMain.h"
#include "updater/ProgramValues.h"
#include "updater/Rdynotfy.h"
#include "updater/UMessage.h"

namespace {

std::string ThisProgram()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

// A copy of this program whose "UPDATEVERSION" holds the bytes.
class VersionVariant {
public:
    explicit VersionVariant(const std::vector<unsigned char>& bytes)
        : module_(MakeCopy(folder_, bytes), LOAD_LIBRARY_AS_DATAFILE)
    {
    }
    HMODULE Module() const { return module_.Get(); }

private:
    static std::string MakeCopy(const TTempFolder& folder, const std::vector<unsigned char>& bytes)
    {
        const std::string copy = folder.File("variant.exe");
        EXPECT_TRUE(MakeResourceVariant(ThisProgram(), copy, RT_RCDATA, "UPDATEVERSION", bytes));
        return copy;
    }

    TTempFolder folder_;
    TLoadedModule module_;
};

TEST(LoadUpdateVersion, TakesTheLowHalfOfEachSlot)
{
    VersionVariant carried({3, 0, 0, 0, 4, 0, 0, 0});
    LoadUpdateVersion(carried.Module());
    EXPECT_EQ(UpdateVersionMajor, 3);
    EXPECT_EQ(UpdateVersionMinor, 4);

    VersionVariant padded({3, 0, 0xAA, 0x55, 12, 0, 0xFF, 0xFF, 9, 9});
    LoadUpdateVersion(padded.Module());
    EXPECT_EQ(UpdateVersionMajor, 3);
    EXPECT_EQ(UpdateVersionMinor, 12);

    VersionVariant wide({0xFF, 0xFF, 0, 0, 0x34, 0x12, 0, 0});
    LoadUpdateVersion(wide.Module());
    EXPECT_EQ(UpdateVersionMajor, 65535);
    EXPECT_EQ(UpdateVersionMinor, 0x1234);
}

TEST(LoadUpdateVersion, SevenBytesAreAStreamReadError)
{
    VersionVariant shortVersion({3, 0, 0, 0, 4, 0, 0});
    try {
        LoadUpdateVersion(shortVersion.Module());
        FAIL() << "read";
    } catch (const EReadError& error) {
        EXPECT_EQ(error.Message(), "ストリームからの読み込みエラー");
    }
}

TEST(ShowWarning, ShowsTheTextUnderTheTitleWithTheExclamationIcon)
{
    Application().SetTitle("Zelmoria 3.04アップデーター");
    TMessageBoxWatcher watcher;
    ShowWarning("予期しないエラーが発生しました\r\nerror");
    const auto& seen = watcher.Wait();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.caption, "Zelmoria 3.04アップデーター");
    EXPECT_EQ(seen.text, "予期しないエラーが発生しました\r\nerror");
    EXPECT_EQ(seen.icon, LoadIconA(nullptr, IDI_EXCLAMATION));
    EXPECT_EQ(GetAppTitle(), "Zelmoria 3.04アップデーター");
}

TEST(ShowWarning, LongTextsAreShownWhole)
{
    const std::string text = "ファイル " + std::string(600, 'x') + " を作成できません";
    TMessageBoxWatcher watcher;
    ShowWarning(text);
    EXPECT_EQ(watcher.Wait().text, text);
}

class TfrmNotifierTest : public TForm {
public:
    explicit TfrmNotifierTest(TComponent* owner) : TForm(owner)
    {
        Publish("ReadyNotifier1Ready", this, &TfrmNotifierTest::ReadyNotifier1Ready);
    }
    static constexpr std::string_view kClassName = "TfrmNotifierTest";
    std::string_view ClassName() const override { return kClassName; }

    void ReadyNotifier1Ready(TObject* sender)
    {
        ++readies;
        visibleWhenReady = IsWindowVisible(Handle()) != FALSE;
        senderWasNotifier = dynamic_cast<TReadyNotifier*>(sender) != nullptr;
        if (rightClickAgain) {
            // A later right-click at the same point reaches no one.
            PostMessageA(Handle(), WM_RBUTTONUP, 0, 0);
            PostMessageA(Handle(), WM_RBUTTONUP, 0, 0);
        }
        PostMessageA(Handle(), WM_CLOSE, 0, 0);
    }

    int readies = 0;
    bool visibleWhenReady = false;
    bool senderWasNotifier = false;
    bool rightClickAgain = false;
};

class Notifier : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RegisterStandardClasses();
        TClassRegistry::Register<TReadyNotifier>();
    }
};

TEST_F(Notifier, FiresOnceAfterTheFormIsShown)
{
    auto form = CreateForm<TfrmNotifierTest>(nullptr);
    form->rightClickAgain = true;
    form->ShowModal();
    EXPECT_EQ(form->readies, 1);
    EXPECT_TRUE(form->visibleWhenReady);
    EXPECT_TRUE(form->senderWasNotifier);
}

TEST_F(Notifier, OwnerThatIsNotAFormNeverFires)
{
    class TPlainOwner : public TComponent {
    public:
        using TComponent::TComponent;
        std::string_view ClassName() const override { return "TPlainOwner"; }
    } owner(nullptr);
    int readies = 0;
    auto* notifier = new TReadyNotifier(&owner);
    notifier->OnReady = TNotifyEvent([&](TObject*) { ++readies; });
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
    EXPECT_EQ(readies, 0);
}

TEST(Updater, StartsWithItsTitleAndButtonsAndEndsOnExit)
{
    TProcess updater(BuildDir() + "\\bin\\ZelmoriaUpdate.exe");
    HWND main = WaitFor([&] {
        for (HWND window : TopLevelWindows(updater.Id())) {
            if (FindChild(window, "", "終了"))
                return window;
        }
        return HWND{};
    });
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(WindowText(main), "Zelmoria 3.04アップデーター");
    EXPECT_NE(FindChild(main, "", "アップデート"), nullptr);
    RECT client{};
    GetClientRect(main, &client);
    EXPECT_EQ(client.right, 370);
    EXPECT_EQ(client.bottom, 251);
    Press(FindChild(main, "", "終了"));
    ASSERT_TRUE(updater.WaitForExit(10000));
    EXPECT_EQ(updater.ExitCode(), 0u);
}

TEST(Updater, ShortVersionResourceShowsTheReadErrorAndEndsWithoutShowingAWindow)
{
    TTempFolder folder;
    const std::string variant = folder.File("ZelmoriaUpdate.exe");
    ASSERT_TRUE(MakeResourceVariant(BuildDir() + "\\bin\\ZelmoriaUpdate.exe", variant, RT_RCDATA,
                                    "UPDATEVERSION", {3, 0, 0, 0, 4, 0, 0}));
    // Not even for an instant, before or after the box.
    ExpectOnlyTheErrorBox(RunFailingStart(variant), "ストリームからの読み込みエラー.");
}

} // namespace
