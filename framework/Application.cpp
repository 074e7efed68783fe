#include "framework/Application.h"

#include "framework/DisabledWindows.h"
#include "framework/Form.h"
#include "framework/WinControl.h"

namespace {

// The module's file name without folder and extension; the path is
// Shift-JIS, so a trail byte 0x5C is not taken for a backslash.
std::string ProgramName()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name;
    for (const char* at = path; *at;) {
        const int length = IsDBCSLeadByteEx(932, static_cast<BYTE>(*at)) && at[1] ? 2 : 1;
        if (length == 1 && (*at == '\\' || *at == '/' || *at == ':'))
            name.clear();
        else
            name.append(at, length);
        at += length;
    }
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

} // namespace

TApplication::TApplication() : title_(ProgramName()) {}

TApplication& Application()
{
    static TApplication application;
    return application;
}

void TApplication::Run(TForm& mainForm)
{
    mainForm_ = &mainForm;
    terminated_ = false;
    try {
        mainForm.Show();
        while (!terminated_)
            HandleMessage();
    } catch (...) {
        mainForm_ = nullptr;
        throw;
    }
    mainForm_ = nullptr;
}

void TApplication::Terminate()
{
    PostQuitMessage(0);
}

void TApplication::HandleMessage()
{
    MSG message;
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) {
        terminated_ = true;
        return;
    }
    if (got < 0)
        return;
    TForm* form = TForm::FromWindow(GetAncestor(message.hwnd, GA_ROOT));
    if (form && form->DispatchDialogMessage(message))
        return;
    TranslateMessage(&message);
    DispatchMessageA(&message);
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
    HWND active = GetActiveWindow();
    HWND owner = active ? active : (mainForm_ && mainForm_->HandleAllocated() ? mainForm_->Handle() : nullptr);
    int result;
    {
        TDisabledWindows disabled(nullptr);
        result = ::MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
    }
    if (active && IsWindow(active))
        SetActiveWindow(active);
    return result;
}
