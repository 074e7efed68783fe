// Walks a person's way through an update for the demo: starts the updater,
// presses its buttons, and saves a picture of the screen at every step.
// "demo_runner show UPDATER SCREENSHOT" saves a picture of the main window
// alone and closes it; "demo_runner version PATH" prints the product
// version of an executable.

#include <windows.h>

#include <cstdio>
#include <string>

#include "framework/runtime/Handles.h"
#include "tests/support/ScreenPixels.h"
#include "tests/support/UiDriver.h"
#include "updater/Filever.h"

namespace {

// Saves the part of the screen (the whole screen when empty) as a bitmap file.
void SaveScreen(const std::string& path, RECT part = {})
{
    if (IsRectEmpty(&part))
        part = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const TWindowDC screen;
    const int width = part.right - part.left;
    SaveBitmapFile(path, PixelsOf(screen.Handle(), part.left, part.top, width, part.bottom - part.top));
}

HWND WindowWithButton(const TProcess& process, const std::string& text, HWND except = nullptr)
{
    return WaitFor([&] {
        for (HWND window : TopLevelWindows(process.Id())) {
            if (window != except && FindChild(window, "", text))
                return window;
        }
        return HWND{};
    });
}

int Fail(const char* step)
{
    std::printf("demo: %s\n", step);
    return 1;
}

int Run(const std::string& updater, const std::string& shots)
{
    TProcess process(updater);
    HWND main = WindowWithButton(process, "アップデート");
    if (!main)
        return Fail("the main window did not appear");
    Sleep(500);
    SaveScreen(shots + "\\1-main-window.bmp");

    Press(FindChild(main, "", "アップデート"));
    HWND folder = WindowWithButton(process, "開始", main);
    if (!folder)
        return Fail("the install-folder dialog did not appear");
    Sleep(500);
    SaveScreen(shots + "\\2-install-folder.bmp");

    Press(FindChild(folder, "", "開始"));
    HWND box = WaitFor([&] { return FindMessageBox(process.Id()); }, 30000);
    if (!box)
        return Fail("no message after the update");
    Sleep(500);
    SaveScreen(shots + "\\3-result.bmp");
    std::printf("demo: the updater says \"%s\"\n", ReadMessageBox(box).text.c_str());
    Press(ChildrenOfClass(box, "Button").front());
    return process.WaitForExit(10000) ? 0 : Fail("the updater did not end");
}

int Show(const std::string& updater, const std::string& shot)
{
    TProcess process(updater);
    HWND main = WindowWithButton(process, "終了");
    if (!main)
        return Fail("the main window did not appear");
    Sleep(1500);
    RECT window{};
    GetWindowRect(main, &window);
    SaveScreen(shot, window);
    Press(FindChild(main, "", "終了"));
    return process.WaitForExit(10000) ? 0 : Fail("the updater did not end");
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "version" && argc == 3) {
        TFileVer reader(argv[2]);
        TProductVersion version;
        if (!reader.GetProductVersion(version))
            return Fail("no version information");
        std::printf("%u.%u.%u.%u\n", version.Major, version.Minor, version.Release, version.Build);
        return 0;
    }
    if (command == "run" && argc == 4)
        return Run(argv[2], argv[3]);
    if (command == "show" && argc == 4)
        return Show(argv[2], argv[3]);
    std::printf("usage: demo_runner version EXE | run UPDATER SCREENSHOT-FOLDER | show UPDATER SCREENSHOT\n");
    return 2;
}
