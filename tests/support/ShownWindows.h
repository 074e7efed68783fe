#pragma once

#include <windows.h>

#include <vector>

// Records every top-level window that one thread of another program shows,
// however briefly: a hook loaded into that thread reports each window at the
// moment it is shown, so a window that appears and vanishes between two
// looks is still seen. Made before the thread runs (see TProcess's
// suspended start), it sees everything the thread shows.
class TShownWindows {
public:
    static constexpr char kRecorderClass[] = "ZelmoriaShownWindows";
    static constexpr UINT kShownMessage = WM_APP + 1;

    explicit TShownWindows(DWORD threadId);
    ~TShownWindows();
    TShownWindows(const TShownWindows&) = delete;
    TShownWindows& operator=(const TShownWindows&) = delete;

    bool Watching() const { return hook_ != nullptr; }
    // The windows shown so far, in the order they were shown.
    const std::vector<HWND>& Windows();

private:
    HWND recorder_ = nullptr;
    HMODULE hookModule_ = nullptr;
    HHOOK hook_ = nullptr;
    std::vector<HWND> shown_;
};
