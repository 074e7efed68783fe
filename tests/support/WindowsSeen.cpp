#include "tests/support/WindowsSeen.h"

#include <algorithm>

#include "tests/support/UiDriver.h"

TWindowsSeen::TWindowsSeen(HANDLE process, DWORD processId)
    : process_(process), processId_(processId), thread_([this] { Poll(); })
{
}

TWindowsSeen::~TWindowsSeen()
{
    UntilExit();
}

std::vector<TWindowsSeen::TSeen> TWindowsSeen::UntilExit()
{
    if (thread_.joinable())
        thread_.join();
    const std::lock_guard lock(mutex_);
    return seen_;
}

void TWindowsSeen::Poll()
{
    // One look more after the end: the last windows may have been shown
    // between the previous look and the exit.
    for (bool ended = false; !ended;) {
        ended = WaitForSingleObject(process_, 1) != WAIT_TIMEOUT;
        for (HWND window : TopLevelWindows(processId_)) {
            const std::lock_guard lock(mutex_);
            const bool known = std::any_of(seen_.begin(), seen_.end(),
                                           [window](const TSeen& seen) { return seen.window == window; });
            // Read without a message: the process may be too busy to answer.
            char caption[256] = {};
            GetWindowTextA(window, caption, sizeof caption);
            if (!known)
                seen_.push_back({window, WindowClass(window), caption});
        }
    }
}
