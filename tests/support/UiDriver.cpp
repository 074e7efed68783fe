#include "tests/support/UiDriver.h"

#include <stdexcept>

std::string WindowText(HWND window)
{
    const LRESULT length = SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::char_traits<char>::length(text.c_str()));
    return text;
}

std::string WindowClass(HWND window)
{
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

namespace {

struct Search {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<Search*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window))
        search->found.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChildren(HWND window, LPARAM data)
{
    auto* found = reinterpret_cast<std::vector<HWND>*>(data);
    if (IsWindowVisible(window))
        found->push_back(window);
    return TRUE;
}

std::vector<HWND> VisibleChildren(HWND parent)
{
    std::vector<HWND> children;
    EnumChildWindows(parent, CollectChildren, reinterpret_cast<LPARAM>(&children));
    return children;
}

} // namespace

std::vector<HWND> TopLevelWindows(DWORD processId)
{
    Search search{processId, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindChild(HWND parent, const std::string& className, const std::string& text)
{
    for (HWND child : VisibleChildren(parent)) {
        if ((className.empty() || WindowClass(child) == className) && WindowText(child) == text)
            return child;
    }
    return nullptr;
}

std::vector<HWND> ChildrenOfClass(HWND parent, const std::string& className)
{
    std::vector<HWND> matching;
    for (HWND child : VisibleChildren(parent)) {
        if (WindowClass(child) == className)
            matching.push_back(child);
    }
    return matching;
}

HWND WaitFor(const std::function<HWND()>& find, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = find())
            return window;
        if (GetTickCount() - start >= timeoutMs)
            return nullptr;
        Sleep(50);
    }
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(50);
    }
    return true;
}

HWND FindMessageBox(DWORD processId)
{
    for (HWND window : TopLevelWindows(processId)) {
        if (WindowClass(window) == "#32770")
            return window;
    }
    return nullptr;
}

TMessageBoxText ReadMessageBox(HWND box)
{
    TMessageBoxText result;
    result.caption = WindowText(box);
    // The text of a message box is its static control with the id 0xFFFF.
    HWND text = GetDlgItem(box, 0xFFFF);
    if (text)
        result.text = WindowText(text);
    return result;
}

void Press(HWND button)
{
    PostMessageA(button, BM_CLICK, 0, 0);
}

void TypeInto(HWND edit, const std::string& text)
{
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string ListBoxRowText(HWND listBox, int row)
{
    // Asked in UTF-16, which every list box keeps, and turned into this
    // program's code page; an ANSI request across processes is not converted.
    const LRESULT length = SendMessageW(listBox, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(listBox, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(wide.data()));
    wide.resize(wcslen(wide.c_str()));
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), text.data(), size, nullptr, nullptr);
    return text;
}

void DoubleClickRow(HWND listBox, int row)
{
    RECT rect{};
    SendMessageA(listBox, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
    const LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    PostMessageA(listBox, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageA(listBox, WM_LBUTTONUP, 0, point);
    PostMessageA(listBox, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    PostMessageA(listBox, WM_LBUTTONUP, 0, point);
}

TProcess::TProcess(const std::string& path, const std::string& workingFolder, TStart start)
    : TProcess(Start(path, workingFolder, start), start)
{
}

TProcess::TProcess(const PROCESS_INFORMATION& started, TStart start)
    : process_(started.hProcess), thread_(started.hThread), id_(started.dwProcessId), threadId_(started.dwThreadId)
{
    if (start == TStart::Running)
        WaitForInputIdle(process_.Get(), 10000);
}

PROCESS_INFORMATION TProcess::Start(const std::string& path, const std::string& workingFolder, TStart start)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + path + "\"";
    const DWORD flags = start == TStart::Suspended ? CREATE_SUSPENDED : 0;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr,
                        workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info))
        throw std::runtime_error("cannot start " + path);
    return info;
}

void TProcess::Resume()
{
    ResumeThread(thread_.Get());
    WaitForInputIdle(process_.Get(), 10000);
}

TProcess::~TProcess()
{
    Close();
}

bool TProcess::Running() const
{
    return WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

bool TProcess::WaitForExit(DWORD timeoutMs) const
{
    return WaitForSingleObject(process_.Get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD TProcess::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.Get(), &code);
    return code;
}

void TProcess::Close()
{
    if (!Running())
        return;
    for (HWND window : TopLevelWindows(id_))
        PostMessageA(window, WM_CLOSE, 0, 0);
    if (!WaitForExit(3000))
        TerminateProcess(process_.Get(), 1);
    WaitForExit(3000);
}
