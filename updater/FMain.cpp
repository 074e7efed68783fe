#include "updater/FMain.h"

#include "framework/controls/GlyphButton.h"
#include "framework/runtime/Handles.h"
#include "framework/runtime/StringTable.h"
#include "framework/runtime/Text.h"
#include "framework/ui/Application.h"
#include "imagepack/UImageEx.h"
#include "resources/StringIds.h"
#include "updater/ButtonGlyph.h"
#include "updater/FDoUpdate.h"
#include "updater/FInpPath.h"
#include "updater/ProgramValues.h"
#include "updater/UExecuteCheck.h"
#include "updater/UMessage.h"

namespace {

constexpr char kRunningMutex[] = "Zelmoria.3.0.Tessaro";

} // namespace

TfrmMain::TfrmMain(TComponent* owner) : TForm(owner)
{
    Publish("FormCreate", this, &TfrmMain::FormCreate);
    Publish("btnSetupClick", this, &TfrmMain::btnSetupClick);
    Publish("btnAbortClick", this, &TfrmMain::btnAbortClick);
    PublishField("btnSetup", btnSetup);
    PublishField("btnAbort", btnAbort);
    PublishField("Image1", Image1);
}

HPALETTE TfrmMain::GetPalette()
{
    return btnSetup && btnSetup->Glyph() ? btnSetup->Glyph()->Palette() : nullptr;
}

void TfrmMain::FormCreate(TObject*)
{
    // A window that cannot start ends the program at once, after the error
    // has been shown.
    try {
        LoadUpdateVersion();
        Application().SetTitle(Format(LoadStr(IDS_TITLE_FORMAT).c_str(), UpdateVersionMajor, UpdateVersionMinor));
        SetText(Application().Title());
        // The logo covers the client area.
        Brush().SetStyle(TBrushStyle::Clear);
        LoadButtonGlyph(*btnSetup);
        FitLogo();
    } catch (const std::exception& error) {
        Application().ShowException(error);
        Application().Terminate();
    }
}

void TfrmMain::FitLogo()
{
    // Sized afresh, whatever order the layout's components finished in; the
    // window follows the picture.
    Image1->SetBounds(0, 0, 1, 1);
    Image1->SetAutoSize(false);
    Image1->SetAutoSize(true);
    // A logo smaller than the buttons reach leaves part of the client area
    // uncovered: that part shows the window's colour, not whatever was on
    // the screen before.
    if (Image1->Width() < ClientWidth() || Image1->Height() < ClientHeight())
        Brush().SetStyle(TBrushStyle::Solid);
}

void TfrmMain::btnSetupClick(TObject*)
{
    btnSetup->SetVisible(false);
    btnAbort->SetVisible(false);
    const TScopeExit showAgain([this]() noexcept {
        btnSetup->SetVisible(true);
        btnAbort->SetVisible(true);
    });
    RunUpdate();
}

void TfrmMain::btnAbortClick(TObject*)
{
    Close();
}

void TfrmMain::RunUpdate()
{
    // Held until the last message of the flow has been dismissed.
    const TExecuteGuard guard = BlockExecution(kRunningMutex);
    if (!guard) {
        ShowWarning(Format("%sは実行中です", PRODUCT_NAME));
        return;
    }
    if (!ShowModalForm<TfrmInputPath>())
        return;
    if (ShowModalForm<TfrmDoUpdate>()) {
        Repaint();
        ShowWarning(LoadStr(IDS_UPDATE_SUCCEEDED));
        BringToFront();
        // Posted, so that the window closes after this handler has returned.
        PostMessageA(Handle(), WM_CLOSE, 0, 0);
    } else {
        ShowWarning(LoadStr(IDS_UPDATE_FAILED));
    }
}
