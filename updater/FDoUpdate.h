#pragma once

#include <exception>
#include <string>

#include "framework/ui/Form.h"

class TLabel;
class TProgressBar;
class TReadyNotifier;

// The text the dialog shows for an error that ended the run: the read-only
// text with the path, or the unexpected-error text with the error's message.
std::string UpdateErrorText(const std::exception& error);

// The progress dialog: once on screen it unpacks the carried executable into
// memory and puts it in place of TargetExePath, then closes itself with OK,
// or, after showing the error, with Cancel. The user cannot close it.
// Its error handler is the application's from the start of the run until the
// close query, or until the dialog goes, whichever comes first.
class TfrmDoUpdate : public TForm {
public:
    explicit TfrmDoUpdate(TComponent* owner);
    ~TfrmDoUpdate() override;

    static constexpr std::string_view kClassName = "TfrmDoUpdate";

    std::string_view ClassName() const override { return kClassName; }

    void FormCreate(TObject* sender);
    void ReadyNotifier1Ready(TObject* sender);
    void DoUpdate();
    void AppException(TObject* sender, const std::exception& error);
    void FormCloseQuery(TObject* sender, bool& canClose);

    TLabel* Label1 = nullptr;
    TLabel* Label2 = nullptr;
    TProgressBar* ProgressBar1 = nullptr;
    TReadyNotifier* ReadyNotifier1 = nullptr;

private:
    void RemoveAppException();

    bool appExceptionInstalled_ = false;
};
