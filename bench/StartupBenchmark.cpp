// startup_benchmark [RUNS]
// Start-up to the first painted main window with its logo: the updater
// against the least Win32 program that opens a window of the same size and
// draws the same bitmap (minimal_logo_window), both beside this program,
// started in turns in the same Wine.
//
// "First painted" is read off the screen, the same way for both: from just
// before the program is started, the screen is polled about every
// millisecond until the window's client area, in the rows above the
// updater's buttons, shows exactly the logo's pixels. So it counts
// everything up to the logo being on the display: process start, reading
// the layout and the logo, the first WM_PAINT and Wine's copy of the
// window to the X server. Runs on an Xvfb screen through Wine's X11
// driver, where another program's window can be read back.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchTiming.h"

namespace {

constexpr int kDefaultRuns = 11;
constexpr double kTargetRatio = 1.3;
// The updater's buttons start at row 188; the rows above show the logo only.
constexpr int kLogoRows = 188;
constexpr DWORD kTimeoutMs = 30000;

std::string ProgramFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

// 32-bit pixels of a rectangle of a device context, row by row from the top.
std::vector<DWORD> PixelsOf(HDC source, int x, int y, int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    DWORD* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    HDC memory = CreateCompatibleDC(source);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    GdiFlush();
    std::vector<DWORD> pixels(bits, bits + width * height);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
    for (DWORD& pixel : pixels)
        pixel &= 0xFFFFFF;
    return pixels;
}

struct TLogo {
    int width = 0;
    int height = 0;
    std::vector<DWORD> rows; // the rows above the buttons
};

TLogo LoadLogo(const std::string& path)
{
    auto bitmap = static_cast<HBITMAP>(
        LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    TLogo logo;
    if (!bitmap)
        return logo;
    BITMAP shape{};
    GetObjectA(bitmap, sizeof shape, &shape);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, bitmap);
    logo = {shape.bmWidth, shape.bmHeight, PixelsOf(memory, 0, 0, shape.bmWidth, kLogoRows)};
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
    return logo;
}

struct TWindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<TWindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window))
        return TRUE;
    search->found = window;
    return FALSE;
}

bool ShowsLogo(HWND window, const TLogo& logo)
{
    RECT client{};
    GetClientRect(window, &client);
    if (client.right != logo.width || client.bottom != logo.height)
        return false;
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    HDC screen = GetDC(nullptr);
    const bool shown = PixelsOf(screen, origin.x, origin.y, logo.width, kLogoRows) == logo.rows;
    ReleaseDC(nullptr, screen);
    return shown;
}

// Seconds from the start of the program to its logo on the screen; a
// negative value when it did not appear in time.
double TimeToLogo(const std::string& program, const TLogo& logo)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + program + "\"";
    const double start = Seconds();
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    double painted = -1;
    TWindowSearch search{process.dwProcessId, nullptr};
    const DWORD deadline = GetTickCount() + kTimeoutMs;
    while (GetTickCount() < deadline) {
        if (!search.found)
            EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found && ShowsLogo(search.found, logo)) {
            painted = Seconds() - start;
            break;
        }
        Sleep(1);
    }
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return painted;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRuns;
    const std::string folder = ProgramFolder();
    const std::string updater = folder + "ZelmoriaUpdate.exe";
    const std::string minimal = folder + "minimal_logo_window.exe";
    const TLogo logo = LoadLogo(folder + "..\\resources\\logo\\LOGO.bmp");
    if (logo.rows.empty()) {
        std::printf("startup benchmark: the build's logo cannot be read\n");
        return 1;
    }
    // The first start of each warms Wine's caches; it is not counted.
    TimeToLogo(updater, logo);
    TimeToLogo(minimal, logo);
    std::vector<double> updaterTimes;
    std::vector<double> minimalTimes;
    for (int run = 0; run < runs; ++run) {
        updaterTimes.push_back(TimeToLogo(updater, logo));
        minimalTimes.push_back(TimeToLogo(minimal, logo));
        if (updaterTimes.back() < 0 || minimalTimes.back() < 0) {
            std::printf("startup benchmark: a logo did not appear within %lu ms\n", kTimeoutMs);
            return 1;
        }
    }
    const double updaterMedian = Median(updaterTimes);
    const double minimalMedian = Median(minimalTimes);
    const double ratio = updaterMedian / minimalMedian;
    std::printf("start-up to the first painted main window with its logo (%d x %d), median of %d runs each:\n",
                logo.width, logo.height, runs);
    std::printf("  updater                     %8.1f ms\n", updaterMedian * 1000);
    std::printf("  minimal Win32 program       %8.1f ms\n", minimalMedian * 1000);
    std::printf("  ratio                       %8.2f  (target at most %.1f: %s)\n", ratio, kTargetRatio,
                ratio <= kTargetRatio ? "met" : "NOT met");
    return 0;
}
