#pragma once

#include <exception>

class TObject;

// The errors that escaped a window's message handler, kept until the message
// loop hands them on: an error is shown after the failing handler has
// returned, not in a loop nested inside it.
class TReportedErrors {
public:
    // Receives each error with the window it escaped from, or none when that
    // window has gone since.
    using THandler = void (*)(TObject* sender, std::exception_ptr error) noexcept;
    static void SetHandler(THandler handler);

    // Without a handler the program ends, since nothing could show the error.
    static void Report(TObject* sender, std::exception_ptr error) noexcept;
    // Hands the errors reported until now to the handler, oldest first;
    // those reported meanwhile wait for the next time. Code that drives
    // windows outside a loop calls it itself.
    static void HandleAll() noexcept;
    // The object is going: the errors it reported name no sender.
    static void ForgetSender(const TObject* sender) noexcept;
};
