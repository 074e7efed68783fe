#include "framework/ui/Application.h"

#include "framework/runtime/Handles.h"
#include "framework/runtime/ShiftJis.h"
#include "framework/ui/DisabledWindows.h"
#include "framework/ui/Form.h"
#include "framework/ui/MessageLoop.h"
#include "framework/ui/ReportedErrors.h"

namespace {

// The module's file name without folder and extension; the path is
// Shift-JIS, so a trail byte 0x5C is not taken for a backslash.
std::string ProgramName()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string_view text(path);
    std::string name;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = TLeadBytes::System().CharLength(text, at);
        if (length == 1 && (text[at] == '\\' || text[at] == '/' || text[at] == ':'))
            name.clear();
        else
            name.append(text.substr(at, length));
        at += length;
    }
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

HWND ShownOrNone(HWND window)
{
    return window && IsWindowVisible(window) ? window : nullptr;
}

} // namespace

TApplication::TApplication() : title_(ProgramName()) {}

TApplication& Application()
{
    static TApplication application;
    return application;
}

void TApplication::InstallErrorHook()
{
    TReportedErrors::SetHandler(
        [](TObject* sender, std::exception_ptr error) noexcept { Application().HandleException(sender, error); });
}

TForm* TApplication::MainForm() const
{
    return dynamic_cast<TForm*>(TMessageLoop::MainWindow());
}

void TApplication::Run(TForm& mainForm)
{
    TMessageLoop::SetMainWindow(&mainForm);
    const TScopeExit endRun([]() noexcept {
        // What a window reported after the last message is not lost.
        TReportedErrors::HandleAll();
        TMessageLoop::SetMainWindow(nullptr);
        TMessageLoop::Reset();
    });
    if (!TMessageLoop::Terminated())
        mainForm.Show();
    while (!TMessageLoop::Terminated())
        TMessageLoop::HandleMessage();
}

void TApplication::Terminate()
{
    TMessageLoop::Terminate();
}

bool TApplication::Terminated() const
{
    return TMessageLoop::Terminated();
}

void TApplication::HandleException(TObject* sender, std::exception_ptr error) noexcept
{
    try {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& known) {
            if (onException_)
                onException_(sender, known);
            else
                ShowException(known);
        } catch (...) {
            const Exception unknown("予期しない例外が発生しました");
            if (onException_)
                onException_(sender, unknown);
            else
                ShowException(unknown);
        }
    } catch (const std::exception& failure) {
        // The handler itself failed: show that instead of losing it.
        try {
            ShowException(failure);
        } catch (...) {
        }
    } catch (...) {
    }
}

void TApplication::ShowException(const std::exception& error)
{
    std::string text = MessageOf(error);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    MessageBox(text, title_, MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT flags)
{
    // Only a window on the screen owns the box: the system hands the
    // activation back to the owner when the box closes, and a window that
    // was never shown (the main window of a start-up that failed) is to
    // stay unseen.
    HWND active = ShownOrNone(GetActiveWindow());
    TWinControl* main = TMessageLoop::MainWindow();
    HWND owner = active ? active : ShownOrNone(main && main->HandleAllocated() ? main->Handle() : nullptr);
    int result;
    {
        TDisabledWindows disabled(nullptr);
        result = ::MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
    }
    if (active && IsWindow(active))
        SetActiveWindow(active);
    return result;
}
