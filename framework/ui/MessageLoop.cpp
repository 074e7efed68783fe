#include "framework/ui/MessageLoop.h"

#include "framework/ui/ReportedErrors.h"
#include "framework/ui/WinControl.h"

namespace {

bool terminated = false;
TWinControl* mainWindow = nullptr;

void DispatchNextMessage()
{
    MSG message;
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) {
        terminated = true;
        return;
    }
    if (got < 0)
        return;
    TWinControl* top = TWinControl::FromHandle(GetAncestor(message.hwnd, GA_ROOT));
    if (top && top->PreTranslateMessage(message))
        return;
    TranslateMessage(&message);
    DispatchMessageA(&message);
}

} // namespace

void TMessageLoop::HandleMessage()
{
    DispatchNextMessage();
    TReportedErrors::HandleAll();
}

void TMessageLoop::Terminate()
{
    terminated = true;
    PostQuitMessage(0);
}

bool TMessageLoop::Terminated()
{
    return terminated;
}

void TMessageLoop::Reset() noexcept
{
    MSG quit;
    while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    terminated = false;
}

TWinControl* TMessageLoop::MainWindow()
{
    return mainWindow;
}

void TMessageLoop::SetMainWindow(TWinControl* window) noexcept
{
    mainWindow = window;
}
