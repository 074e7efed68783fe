#include "tests/support/ShownWindows.h"

#include <string>

#include "tests/support/TestSupport.h"

TShownWindows::TShownWindows(DWORD threadId)
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kRecorderClass;
    RegisterClassA(&windowClass);
    // The hook finds the recorder by the thread it watches.
    recorder_ = CreateWindowA(kRecorderClass, std::to_string(threadId).c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE,
                              nullptr, windowClass.hInstance, nullptr);
    hookModule_ = LoadLibraryA((BuildDir() + "\\bin\\show_hook.dll").c_str());
    const auto hook = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(GetProcAddress(hookModule_, "ShowHook")));
    if (recorder_ && hook)
        hook_ = SetWindowsHookExA(WH_CALLWNDPROC, hook, hookModule_, threadId);
}

TShownWindows::~TShownWindows()
{
    if (hook_)
        UnhookWindowsHookEx(hook_);
    if (hookModule_)
        FreeLibrary(hookModule_);
    if (recorder_)
        DestroyWindow(recorder_);
}

const std::vector<HWND>& TShownWindows::Windows()
{
    // The reports wait in this thread's queue in the order they were made.
    MSG message;
    while (PeekMessageA(&message, recorder_, kShownMessage, kShownMessage, PM_REMOVE))
        shown_.push_back(reinterpret_cast<HWND>(message.wParam));
    return shown_;
}
