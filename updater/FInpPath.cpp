#include "updater/FInpPath.h"

#include <windows.h>

#include "framework/controls/Bevel.h"
#include "framework/controls/Edit.h"
#include "framework/controls/GlyphButton.h"
#include "framework/controls/Label.h"
#include "framework/controls/Panel.h"
#include "framework/runtime/StringTable.h"
#include "framework/runtime/Text.h"
#include "framework/ui/Application.h"
#include "resources/StringIds.h"
#include "updater/ButtonGlyph.h"
#include "updater/FSelDir.h"
#include "updater/Filever.h"
#include "updater/InstallDir.h"
#include "updater/Pathutil.h"
#include "updater/ProgramValues.h"
#include "updater/UMessage.h"

TfrmInputPath::TfrmInputPath(TComponent* owner) : TForm(owner)
{
    Publish("FormCreate", this, &TfrmInputPath::FormCreate);
    Publish("Edit1Change", this, &TfrmInputPath::Edit1Change);
    Publish("BitBtn1Click", this, &TfrmInputPath::BitBtn1Click);
    Publish("FormCloseQuery", this, &TfrmInputPath::FormCloseQuery);
    PublishField("BitBtn1", BitBtn1);
    PublishField("BitBtn2", BitBtn2);
    PublishField("BitBtn3", BitBtn3);
    PublishField("Panel1", Panel1);
    PublishField("Label1", Label1);
    PublishField("Label2", Label2);
    PublishField("Bevel1", Bevel1);
    PublishField("Edit1", Edit1);
}

void TfrmInputPath::FormCreate(TObject*)
{
    SetText(GetAppTitle());
    LoadInstallDir();
    Label1->SetText(Format(Label1->Text().c_str(), PRODUCT_NAME));
}

void TfrmInputPath::LoadInstallDir()
{
    SetInstallDir(ProposedInstallDir());
}

void TfrmInputPath::SetInstallDir(const std::string& folder)
{
    // The field announces only a change; an unchanged text (an empty
    // proposal in a new field) must still decide the start button and
    // TargetExePath, once.
    if (Edit1->Text() == folder)
        Edit1Change(this);
    else
        Edit1->SetText(folder);
}

void TfrmInputPath::Edit1Change(TObject*)
{
    TargetExePath = JoinPath(Edit1->Text(), LoadStr(IDS_EXECUTABLE_NAME));
    const DWORD attributes = GetFileAttributesA(TargetExePath.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    BitBtn2->SetEnabled(exists);
    if (exists)
        LoadButtonGlyph(*BitBtn2);
    else
        BitBtn2->SetGlyph(nullptr);
}

void TfrmInputPath::BitBtn1Click(TObject*)
{
    TComponentPtr<TfrmSelDir> browser = CreateForm<TfrmSelDir>(this);
    browser->SetDirectory(Edit1->Text());
    if (browser->ShowModal() == mrOk)
        Edit1->SetText(browser->GetDirectory());
    FreeComponent(browser);
}

void TfrmInputPath::FormCloseQuery(TObject*, bool& canClose)
{
    if (ModalResult() != mrOk) {
        canClose = true;
        return;
    }
    canClose = false;
    // Decide on the folder and the files as they are now.
    Edit1Change(this);
    if (!BitBtn2->Enabled())
        return;
    std::int32_t major = 0;
    std::int32_t combinedMinor = 0;
    GetInstalledVersion(TargetExePath, major, combinedMinor);
    switch (JudgeInstalledVersion(major, combinedMinor, UpdateVersionMajor, UpdateVersionMinor)) {
    case TUpdateVerdict::NotUpdatable: ShowProductMessage(LoadStr(IDS_CANNOT_UPDATE)); break;
    case TUpdateVerdict::Eligible: canClose = true; break;
    case TUpdateVerdict::UpToDate: ShowProductMessage(LoadStr(IDS_NO_UPDATE_NEEDED)); break;
    }
}

void TfrmInputPath::ShowProductMessage(const std::string& text)
{
    ShowWarning(Format(text.c_str(), PRODUCT_NAME));
}
