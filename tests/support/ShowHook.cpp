// The window hook of TShownWindows, loaded into the watched thread: it
// reports each top-level window of that thread at the moment it is shown.

#include <windows.h>

#include <string>

#include "tests/support/ShownWindows.h"

extern "C" __declspec(dllexport) LRESULT CALLBACK ShowHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (call->message == WM_WINDOWPOSCHANGED &&
            (reinterpret_cast<const WINDOWPOS*>(call->lParam)->flags & SWP_SHOWWINDOW) &&
            !(GetWindowLongPtrA(call->hwnd, GWL_STYLE) & WS_CHILD)) {
            const std::string thread = std::to_string(GetCurrentThreadId());
            if (HWND recorder = FindWindowExA(HWND_MESSAGE, nullptr, TShownWindows::kRecorderClass, thread.c_str()))
                PostMessageA(recorder, TShownWindows::kShownMessage, reinterpret_cast<WPARAM>(call->hwnd), 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
