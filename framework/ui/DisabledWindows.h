#pragma once

#include <windows.h>

#include <vector>

// Disables the enabled, visible top-level windows of the calling thread while
// a modal window or a message box is up, and enables them again afterwards.
class TDisabledWindows {
public:
    // Leaves `keep` (the modal window itself) alone.
    explicit TDisabledWindows(HWND keep);
    ~TDisabledWindows();

    TDisabledWindows(const TDisabledWindows&) = delete;
    TDisabledWindows& operator=(const TDisabledWindows&) = delete;

private:
    std::vector<HWND> windows_;
};
