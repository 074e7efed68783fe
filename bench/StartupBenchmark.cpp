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
//
// Both are also asked for their start-up marks (ZELMORIA_STARTUP_MARKS),
// on the same performance counter: when each reached its entry, began its
// main window (the updater), read the layout (the updater), had its logo,
// made its window, showed it and painted the logo. The breakdown sets the
// two side by side, so that it shows where the updater's time goes and
// which steps cost it more than they cost the minimal program.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/BenchTiming.h"
#include "framework/runtime/Handles.h"
#include "tests/support/ScreenPixels.h"
#include "tests/support/UiDriver.h"

namespace {

constexpr int kDefaultRuns = 11;
constexpr double kTargetRatio = 1.1;
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

// The window shows the logo's rows above the buttons, in its size.
bool ShowsLogo(HWND window, const TPixels& logo)
{
    RECT client{};
    GetClientRect(window, &client);
    if (client.right != logo.width || client.bottom != logo.height)
        return false;
    const TPixels shown = ShownPixels(window, logo.width, kLogoRows);
    return !shown.colors.empty() && std::equal(shown.colors.begin(), shown.colors.end(), logo.colors.begin());
}

// The moments the programs note, in their order, and what each ends.
struct TMarkName {
    const char* mark;
    const char* shown;
};
constexpr TMarkName kMarks[] = {
    {"entry", "to the program's entry"}, {"form", "to the main form begun"},
    {"layout", "to the layout read"},    {"image-pack", "to the logo decoded"},
    {"made", "to the windows made"},     {"shown", "to the main window shown"},
    {"painted", "to the logo painted"},
};

// Seconds since the program's start, by mark, read from the marks file the
// program wrote; it writes the file when it paints, so the reader waits a
// little for it.
std::map<std::string, double> ReadMarks(const std::string& path, double start)
{
    std::map<std::string, double> marks;
    for (int waited = 0; waited < 2000; waited += 10) {
        std::ifstream file(path);
        std::string name;
        double microseconds = 0;
        while (file >> name >> microseconds)
            marks[name] = microseconds / 1e6 - start;
        if (marks.count("painted"))
            return marks;
        marks.clear();
        Sleep(10);
    }
    return marks;
}

struct TStart {
    // Seconds to the logo on the screen; negative when it did not appear in
    // time.
    double shown = -1;
    std::map<std::string, double> marks;
};

// Starts the program and times it to its logo on the screen; with a marks
// file, the program is asked for its marks there.
TStart TimeToLogo(const std::string& program, const TPixels& logo, const std::string& marksFile = {})
{
    if (!marksFile.empty())
        DeleteFileA(marksFile.c_str());
    SetEnvironmentVariableA("ZELMORIA_STARTUP_MARKS", marksFile.empty() ? nullptr : marksFile.c_str());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + program + "\"";
    const double start = Seconds();
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return {};
    const TKernelHandle processHandle(process.hProcess);
    const TKernelHandle thread(process.hThread);
    TStart result;
    HWND window = nullptr;
    const DWORD deadline = GetTickCount() + kTimeoutMs;
    while (GetTickCount() < deadline) {
        if (!window) {
            const std::vector<HWND> shown = TopLevelWindows(process.dwProcessId);
            window = shown.empty() ? nullptr : shown.front();
        }
        if (window && ShowsLogo(window, logo)) {
            result.shown = Seconds() - start;
            break;
        }
        Sleep(1);
    }
    if (result.shown >= 0 && !marksFile.empty())
        result.marks = ReadMarks(marksFile, start);
    TerminateProcess(processHandle.Get(), 0);
    WaitForSingleObject(processHandle.Get(), 10000);
    return result;
}

// The median of a mark over the starts that have it; negative without any.
double MedianMark(const std::vector<TStart>& starts, const std::string& mark)
{
    std::vector<double> times;
    for (const TStart& start : starts) {
        const auto found = start.marks.find(mark);
        if (found != start.marks.end())
            times.push_back(found->second);
    }
    return times.empty() ? -1 : Median(times);
}

// One program's column of the breakdown: a mark's median and the time since
// the mark before; blank where the program does not note it.
class TBreakdownColumn {
public:
    explicit TBreakdownColumn(const std::vector<TStart>& starts) : starts_(starts) {}

    std::string Cell(const std::string& mark) { return CellAt(MedianMark(starts_, mark)); }

    std::string CellAt(double at)
    {
        if (at < 0)
            return std::string(22, ' ');
        char cell[64];
        std::snprintf(cell, sizeof cell, "%8.1f ms (+%5.1f)", at * 1000, (at - before_) * 1000);
        before_ = at;
        return cell;
    }

private:
    const std::vector<TStart>& starts_;
    double before_ = 0;
};

// Where each program's time goes: the median of each mark, and what lies
// between it and the one before.
void PrintBreakdown(const std::vector<TStart>& updaterStarts, double updaterMedian,
                    const std::vector<TStart>& minimalStarts, double minimalMedian)
{
    std::printf("  where the time goes (medians; in brackets, since the step before):\n");
    std::printf("    %-26s %-22s %s\n", "", "   updater", "   minimal program");
    TBreakdownColumn updater(updaterStarts);
    TBreakdownColumn minimal(minimalStarts);
    for (const TMarkName& name : kMarks)
        std::printf("    %-26s %s %s\n", name.shown, updater.Cell(name.mark).c_str(), minimal.Cell(name.mark).c_str());
    std::printf("    %-26s %s %s\n", "to the logo on the screen", updater.CellAt(updaterMedian).c_str(),
                minimal.CellAt(minimalMedian).c_str());
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRuns;
    const std::string folder = ProgramFolder();
    const std::string updater = folder + "ZelmoriaUpdate.exe";
    const std::string minimal = folder + "minimal_logo_window.exe";
    const TPixels logo = BitmapFilePixels(folder + "..\\resources\\logo\\LOGO.bmp");
    if (logo.height < kLogoRows) {
        std::printf("startup benchmark: the build's logo cannot be read\n");
        return 1;
    }
    const std::string marksFile = folder + "startup-marks.txt";
    // The first start of each warms Wine's caches; it is not counted.
    TimeToLogo(updater, logo, marksFile);
    TimeToLogo(minimal, logo, marksFile);
    std::vector<TStart> updaterStarts;
    std::vector<TStart> minimalStarts;
    std::vector<double> updaterTimes;
    std::vector<double> minimalTimes;
    for (int run = 0; run < runs; ++run) {
        updaterStarts.push_back(TimeToLogo(updater, logo, marksFile));
        updaterTimes.push_back(updaterStarts.back().shown);
        minimalStarts.push_back(TimeToLogo(minimal, logo, marksFile));
        minimalTimes.push_back(minimalStarts.back().shown);
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
    std::printf("  ratio                       %8.2f  (target at most %.2f: %s)\n", ratio, kTargetRatio,
                ratio <= kTargetRatio ? "met" : "NOT met");
    PrintBreakdown(updaterStarts, updaterMedian, minimalStarts, minimalMedian);
    return 0;
}
