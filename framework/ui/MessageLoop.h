#pragma once

#include <windows.h>

#include <exception>

class TObject;
class TWinControl;

// The thread's message loop, shared by the application's run and the modal
// runs of forms.
class TMessageLoop {
public:
    // Waits for one message and dispatches it; the top-level window that the
    // message is for may take it first (the keyboard navigation of dialogs).
    // Then hands the errors that its handlers reported to the error handler.
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

    // Receives the errors that escaped a window's message handler: the
    // window, or none when it has gone since, and the error.
    using TErrorHandler = void (*)(TObject* sender, std::exception_ptr error) noexcept;
    static void SetErrorHandler(TErrorHandler handler);
    // Keeps an error that escaped a window's message handler for the loop,
    // which hands it on once the message has been dispatched: the error is
    // shown after the failing handler has returned, not in a loop nested
    // inside it. Without a handler the program ends, since nothing could
    // show the error.
    static void ReportError(TObject* sender, std::exception_ptr error) noexcept;
    // Hands the errors reported until now to the handler, oldest first;
    // those reported meanwhile wait for the next time. Code that drives
    // windows outside a loop calls it itself.
    static void HandleReportedErrors() noexcept;
    // The object is going: the errors it reported name no sender.
    static void ForgetSender(const TObject* sender) noexcept;
};
