// The updater that the release command wrote to its release folder, run on
// an installation of the stand-in it may update.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <memory>

#include "tests/support/UiDriver.h"
#include "tests/support/TestSupport.h"

namespace {

// Set by the test runner: the release made from the stand-in 3.0.4.0 with
// version 3 / 4.
std::string ReleasedUpdaterPath()
{
    const char* path = std::getenv("ZELMORIA_RELEASE_UPDATER");
    return path ? path : "";
}

class ReleasedUpdater : public testing::Test {
protected:
    void TearDown() override { RegDeleteTreeA(HKEY_CLASSES_ROOT, "Korvantis.Application"); }
};

TEST_F(ReleasedUpdater, StartsAndUpdatesAnEligibleInstallation)
{
    const std::string updaterPath = ReleasedUpdaterPath();
    ASSERT_NE(GetFileAttributesA(updaterPath.c_str()), INVALID_FILE_ATTRIBUTES) << "no release at " << updaterPath;

    TTempFolder root;
    const std::string folder = root.File("Korvantis");
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(StandInPath("3.0.3.999").c_str(), (folder + "\\Korvantis.exe").c_str(), FALSE));
    RegSetValueA(HKEY_CLASSES_ROOT, "Korvantis.Application\\dstDir", REG_SZ, folder.c_str(),
                 static_cast<DWORD>(folder.size()));

    auto updater = std::make_unique<TProcess>(updaterPath);
    HWND mainWindow = WaitFor([&] {
        for (HWND window : TopLevelWindows(updater->Id())) {
            if (WindowText(window) == "Zelmoria 3.04アップデーター")
                return window;
        }
        return HWND{};
    });
    ASSERT_NE(mainWindow, nullptr) << "the main window with the carried version did not appear";
    Press(FindChild(mainWindow, "", "アップデート"));

    HWND dialog = WaitFor([&] {
        for (HWND window : TopLevelWindows(updater->Id())) {
            if (window != mainWindow && FindChild(window, "", "開始"))
                return window;
        }
        return HWND{};
    });
    ASSERT_NE(dialog, nullptr) << "the install-folder dialog did not appear";
    Press(FindChild(dialog, "", "開始"));

    HWND box = WaitFor([&] { return FindMessageBox(updater->Id()); });
    ASSERT_NE(box, nullptr) << "no message after the update";
    EXPECT_EQ(ReadMessageBox(box).text, "アップデートは正常に終了しました");
    Press(ChildrenOfClass(box, "Button").front());
    EXPECT_TRUE(updater->WaitForExit(10000));
    updater.reset();
    EXPECT_EQ(ReadWholeFile(folder + "\\Korvantis.exe"), ReadWholeFile(StandInPath("3.0.4.0")));
}

} // namespace
