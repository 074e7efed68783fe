#pragma once

#include <windows.h>

class TWinControl;

// The thread's message loop, shared by the application's run and the modal
// runs of forms.
class TMessageLoop {
public:
    // Waits for one message and dispatches it; the top-level window that the
    // message is for may take it first (the keyboard navigation of dialogs).
    // Then hands on the errors that its handlers reported.
    static void HandleMessage();

    // Ends the loops: Terminated answers true at once, and a loop waiting
    // for a message wakes up through the quit message.
    static void Terminate();
    static bool Terminated();
    // After a run: forgets the request and the quit message it left behind,
    // so that a later run starts afresh.
    static void Reset() noexcept;

    // The window whose closing ends the program while the application runs.
    static TWinControl* MainWindow();
    static void SetMainWindow(TWinControl* window) noexcept;
};
