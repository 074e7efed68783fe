#pragma once

#include <windows.h>

#include <exception>
#include <string>

#include "framework/runtime/Components.h"

class TForm;

// The handler of errors that escape a message handler: sender and error.
using TExceptionEvent = TEvent<TObject*, const std::exception&>;

// The program's one application object: its title, the message loop, the
// error handling for everything that runs inside a message, and the
// application's message boxes.
class TApplication : public TObject {
public:
    TApplication();

    // From here on, errors that escape a window's message handler come to
    // HandleException, once the message loop has dispatched the message.
    // The program's entry installs it at the start.
    void InstallErrorHook();

    // The caption of the application's message boxes; the program's file
    // name until it is set.
    const std::string& Title() const { return title_; }
    void SetTitle(std::string title) { title_ = std::move(title); }

    // The form whose closing ends the run, while it runs.
    TForm* MainForm() const;
    // Shows the main form and dispatches messages until Terminate, or the
    // main form closing, ends the run. A run asked to end before it starts
    // (a failed start-up) shows nothing. Errors that windows reported and
    // the loop has not handed on yet go to the handler as the run ends.
    void Run(TForm& mainForm);
    // Ends the run: Terminated answers true from now on until the run ends.
    void Terminate();
    bool Terminated() const;

    // The installed handler; an empty one removes it.
    void SetOnException(TExceptionEvent handler) { onException_ = std::move(handler); }
    const TExceptionEvent& OnException() const { return onException_; }

    // Hands an error that escaped a message handler to the installed handler,
    // or else to the standard error display. Never raises: it runs where no
    // exception may pass (window procedures, system callbacks).
    void HandleException(TObject* sender, std::exception_ptr error) noexcept;
    // The standard error display: the error's message, with "." appended when
    // its last character sorts after ".", under the application title, with
    // the stop icon and one OK button.
    void ShowException(const std::exception& error);

    // A message box owned by the application: the program's other windows
    // are disabled while it is up, and the window that was active before is
    // active again afterwards. Its owner is the active window, else the main
    // form, and only one that is on the screen. Answers the button pressed.
    int MessageBox(const std::string& text, const std::string& caption, UINT flags);

private:
    std::string title_;
    TExceptionEvent onException_;
};

TApplication& Application();
