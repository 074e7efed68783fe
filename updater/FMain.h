#pragma once

#include "framework/ui/Form.h"

class TBitBtn;
class TImageEx;

// The main window: the logo with the update and exit buttons on it, as
// large as the logo.
class TfrmMain : public TForm {
public:
    explicit TfrmMain(TComponent* owner);

    static constexpr std::string_view kClassName = "TfrmMain";

    std::string_view ClassName() const override { return kClassName; }

    // The palette of the update button's glyph, realised for the window on
    // palette displays.
    HPALETTE GetPalette() override;

    void FormCreate(TObject* sender);
    void btnSetupClick(TObject* sender);
    void btnAbortClick(TObject* sender);
    void RunUpdate();

    // Opens a dialog of class F above this window; true when it closed
    // with OK.
    template <class F>
    bool ShowModalForm()
    {
        TComponentPtr<F> dialog = CreateForm<F>(this);
        const bool ok = dialog->ShowModal() == mrOk;
        FreeComponent(dialog);
        return ok;
    }

    TBitBtn* btnSetup = nullptr;
    TBitBtn* btnAbort = nullptr;
    TImageEx* Image1 = nullptr;

private:
    // Sizes the picture control, and with it the window, to the logo.
    void FitLogo();
};
