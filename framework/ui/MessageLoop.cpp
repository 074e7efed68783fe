#include "framework/ui/MessageLoop.h"

#include <vector>

#include "framework/ui/WinControl.h"

namespace {

bool terminated = false;
TWinControl* mainWindow = nullptr;

struct TReportedError {
    TObject* sender;
    std::exception_ptr error;
};

TMessageLoop::TErrorHandler errorHandler = nullptr;
std::vector<TReportedError> reported;

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
    HandleReportedErrors();
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

void TMessageLoop::SetErrorHandler(TErrorHandler handler)
{
    errorHandler = handler;
}

void TMessageLoop::ReportError(TObject* sender, std::exception_ptr error) noexcept
{
    if (!errorHandler)
        std::terminate();
    try {
        reported.push_back({sender, error});
    } catch (...) {
        // No room to keep it: handled at once rather than lost.
        errorHandler(sender, error);
    }
}

void TMessageLoop::HandleReportedErrors() noexcept
{
    // Taken one at a time from the front: a handler that runs a loop of its
    // own may take the next ones itself, and a sender that goes meanwhile is
    // forgotten in the list.
    for (std::size_t count = reported.size(); count > 0 && !reported.empty() && errorHandler; --count) {
        const TReportedError next = reported.front();
        reported.erase(reported.begin());
        errorHandler(next.sender, next.error);
    }
}

void TMessageLoop::ForgetSender(const TObject* sender) noexcept
{
    for (TReportedError& error : reported) {
        if (error.sender == sender)
            error.sender = nullptr;
    }
}
