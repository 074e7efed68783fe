#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// The carried version, read once at start.
extern std::int32_t UpdateVersionMajor;
extern std::int32_t UpdateVersionMinor;
// The product executable to replace, set by the install-folder dialog.
extern std::string TargetExePath;

// Reads the carried version from the module's "UPDATEVERSION" data: the low
// 16 bits of two 32-bit little-endian slots. Raises when the resource is
// missing or shorter than 8 bytes.
void LoadUpdateVersion(HMODULE module = GetModuleHandleA(nullptr));

#include <memory>

#include "framework/Form.h"

class TBitBtn;

// Puts the bitmap "Button" on a glyph button.
void LoadButtonGlyph(TBitBtn& button);

// The main window: the logo with the update and exit buttons on it.
class TfrmMain : public TForm {
public:
    explicit TfrmMain(TComponent* owner);

    std::string_view ClassName() const override { return "TfrmMain"; }

    // The palette of the update button's glyph, realised for the window on
    // palette displays.
    HPALETTE GetPalette() override;

    void FormCreate(TObject* sender);
    void btnSetupClick(TObject* sender);
    void btnAbortClick(TObject* sender);
    void RunUpdate();

    // Opens a dialog of class F owned by this window; true when it closed
    // with OK.
    template <class F>
    bool ShowModalForm()
    {
        const std::unique_ptr<F> dialog = CreateForm<F>(this);
        return dialog->ShowModal() == mrOk;
    }

    TBitBtn* btnSetup = nullptr;
    TBitBtn* btnAbort = nullptr;
};
