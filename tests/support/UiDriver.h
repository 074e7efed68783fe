#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/runtime/Handles.h"

// Drives another program's windows the way UI automation would: finds them
// by class and text, presses buttons, types into fields and reads message
// boxes. Every wait gives up after a timeout and reports it.

std::string WindowText(HWND window);
std::string WindowClass(HWND window);

// Visible top-level windows of a process, in z-order.
std::vector<HWND> TopLevelWindows(DWORD processId);

// The first visible child (at any depth) of the class whose text is the
// text; an empty class matches any class.
HWND FindChild(HWND parent, const std::string& className, const std::string& text);
// All visible children of the class, at any depth, in z-order.
std::vector<HWND> ChildrenOfClass(HWND parent, const std::string& className);

// Polls until the function answers a window or the time is up (then 0).
HWND WaitFor(const std::function<HWND()>& find, DWORD timeoutMs = 10000);

// Polls until the condition holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 10000);

// A message box of the process, if one is up.
HWND FindMessageBox(DWORD processId);

struct TMessageBoxText {
    std::string caption;
    std::string text;
};
TMessageBoxText ReadMessageBox(HWND box);

// Presses a button as a user would and returns at once.
void Press(HWND button);
// Sets an edit field's text as typing would (the field announces the change).
void TypeInto(HWND edit, const std::string& text);
// The text of a list box row, read the way a screen reader reads it.
std::string ListBoxRowText(HWND listBox, int row);
// Double-clicks a list box row.
void DoubleClickRow(HWND listBox, int row);

// A program started for a test and ended with it. A program started
// suspended runs only from Resume on, so that a test can watch it from its
// first instruction.
class TProcess {
public:
    enum class TStart { Running, Suspended };

    explicit TProcess(const std::string& path, const std::string& workingFolder = {},
                      TStart start = TStart::Running);
    ~TProcess();
    TProcess(const TProcess&) = delete;
    TProcess& operator=(const TProcess&) = delete;

    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_.Get(); }
    DWORD MainThreadId() const { return threadId_; }
    void Resume();
    bool Running() const;
    // True when the process ended within the time.
    bool WaitForExit(DWORD timeoutMs = 10000) const;
    // What the program returned, once it has ended.
    DWORD ExitCode() const;
    void Close();

private:
    static PROCESS_INFORMATION Start(const std::string& path, const std::string& workingFolder, TStart start);
    TProcess(const PROCESS_INFORMATION& started, TStart start);

    TKernelHandle process_;
    TKernelHandle thread_;
    DWORD id_;
    DWORD threadId_;
};
