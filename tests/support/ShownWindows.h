#pragma once

#include <windows.h>

#include <vector>

#include "tests/support/TestHandles.h"

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

    bool Watching() const { return static_cast<bool>(hook_); }
    // The windows shown so far, in the order they were shown.
    const std::vector<HWND>& Windows();

private:
    static HWND MakeRecorder(DWORD threadId);
    HHOOK Install(DWORD threadId) const;

    // Made in this order and given back in the other.
    TOwnedWindow recorder_;
    TLoadedModule hookModule_;
    TWindowsHook hook_;
    std::vector<HWND> shown_;
};
