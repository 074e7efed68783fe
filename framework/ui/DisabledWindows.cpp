#include "framework/ui/DisabledWindows.h"

#include <new>

namespace {

struct TCollect {
    HWND keep;
    std::vector<HWND>* windows;
    bool failed = false;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM data)
{
    auto& collect = *reinterpret_cast<TCollect*>(data);
    if (window == collect.keep || !IsWindowVisible(window) || !IsWindowEnabled(window))
        return TRUE;
    // No exception may leave a callback that the system calls.
    try {
        collect.windows->push_back(window);
    } catch (...) {
        collect.failed = true;
        return FALSE;
    }
    return TRUE;
}

} // namespace

TDisabledWindows::TDisabledWindows(HWND keep)
{
    TCollect collect{keep, &windows_};
    EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&collect));
    if (collect.failed)
        throw std::bad_alloc();
    for (HWND window : windows_)
        EnableWindow(window, FALSE);
}

TDisabledWindows::~TDisabledWindows()
{
    for (HWND window : windows_) {
        if (IsWindow(window))
            EnableWindow(window, TRUE);
    }
}
