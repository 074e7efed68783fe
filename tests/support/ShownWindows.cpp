#include "tests/support/ShownWindows.h"

#include <string>

#include "tests/support/TestSupport.h"

TShownWindows::TShownWindows(DWORD threadId)
    : recorder_(MakeRecorder(threadId)), hookModule_(BuildDir() + "\\bin\\show_hook.dll"), hook_(Install(threadId))
{
}

HWND TShownWindows::MakeRecorder(DWORD threadId)
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kRecorderClass;
    RegisterClassA(&windowClass);
    // The hook finds the recorder by the thread it watches.
    return CreateWindowA(kRecorderClass, std::to_string(threadId).c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         windowClass.hInstance, nullptr);
}

HHOOK TShownWindows::Install(DWORD threadId) const
{
    if (!recorder_ || !hookModule_)
        return nullptr;
    const auto hook = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(GetProcAddress(hookModule_.Get(), "ShowHook")));
    return !hook ? nullptr : SetWindowsHookExA(WH_CALLWNDPROC, hook, hookModule_.Get(), threadId);
}

const std::vector<HWND>& TShownWindows::Windows()
{
    // The reports wait in this thread's queue in the order they were made.
    MSG message;
    while (PeekMessageA(&message, recorder_.Get(), kShownMessage, kShownMessage, PM_REMOVE))
        shown_.push_back(reinterpret_cast<HWND>(message.wParam));
    return shown_;
}
