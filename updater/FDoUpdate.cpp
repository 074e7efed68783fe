#include "updater/FDoUpdate.h"

#include <windows.h>

#include "framework/controls/Label.h"
#include "framework/controls/ProgressBar.h"
#include "framework/runtime/StringTable.h"
#include "framework/runtime/Text.h"
#include "framework/ui/Application.h"
#include "resources/StringIds.h"
#include "updater/ApplyStep.h"
#include "updater/ProgramValues.h"
#include "updater/Rdynotfy.h"
#include "updater/UMessage.h"

std::string UpdateErrorText(const std::exception& error)
{
    const unsigned text = dynamic_cast<const EReadOnly*>(&error) ? IDS_READ_ONLY : IDS_UNEXPECTED_ERROR;
    return Format(LoadStr(text).c_str(), MessageOf(error).c_str());
}

TfrmDoUpdate::TfrmDoUpdate(TComponent* owner) : TForm(owner)
{
    Publish("FormCreate", this, &TfrmDoUpdate::FormCreate);
    Publish("ReadyNotifier1Ready", this, &TfrmDoUpdate::ReadyNotifier1Ready);
    Publish("FormCloseQuery", this, &TfrmDoUpdate::FormCloseQuery);
    PublishField("Label1", Label1);
    PublishField("Label2", Label2);
    PublishField("ProgressBar1", ProgressBar1);
    PublishField("ReadyNotifier1", ReadyNotifier1);
}

TfrmDoUpdate::~TfrmDoUpdate()
{
    RemoveAppException();
}

void TfrmDoUpdate::FormCreate(TObject*)
{
    SetText(GetAppTitle());
    Label1->SetText(Format(Label1->Text().c_str(), UpdateVersionMajor, UpdateVersionMinor));
}

void TfrmDoUpdate::ReadyNotifier1Ready(TObject*)
{
    Application().SetOnException(TExceptionEvent(
        [this](TObject* sender, const std::exception& error) { AppException(sender, error); }));
    appExceptionInstalled_ = true;
    // The modal loop looks at the result only after this handler returns, so
    // an error that leaves it ends the run with Cancel.
    SetModalResult(mrCancel);
    Repaint();
    DoUpdate();
    SetModalResult(mrOk);
}

void TfrmDoUpdate::DoUpdate()
{
    TMemoryStream working;
    ProgressBar1->SetMax(3);
    ProgressBar1->SetPosition(1);
    LoadPayload(working, LoadStr(IDS_PAYLOAD_NAME).c_str(), RT_RCDATA);
    ProgressBar1->SetPosition(2);
    CheckWritable(TargetExePath);
    ProgressBar1->SetPosition(3);
    ReplaceExecutable(TargetExePath, working);
}

void TfrmDoUpdate::AppException(TObject*, const std::exception& error)
{
    ShowWarning(UpdateErrorText(error));
}

void TfrmDoUpdate::FormCloseQuery(TObject*, bool& canClose)
{
    RemoveAppException();
    canClose = true;
}

void TfrmDoUpdate::RemoveAppException()
{
    if (!appExceptionInstalled_)
        return;
    Application().SetOnException(TExceptionEvent());
    appExceptionInstalled_ = false;
}
