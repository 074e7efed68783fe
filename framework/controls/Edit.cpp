#include "framework/controls/Edit.h"

#include "framework/runtime/FlagScope.h"

TEdit::TEdit(TComponent* owner) : TWinControl(owner)
{
    SetBounds(0, 0, 121, 21);
    SetTabStop(true);
    SetColor(clWindow);
}

void TEdit::CreateParams(TCreateParams& params)
{
    TWinControl::CreateParams(params);
    params.className = "EDIT";
    params.style |= ES_LEFT | ES_AUTOHSCROLL;
    params.exStyle |= WS_EX_CLIENTEDGE;
}

void TEdit::StoreText(const std::string& text)
{
    // The text set here is announced once, by SetText, whether or not the
    // platform reports its own change.
    const TFlagScope storing(storingText_);
    TWinControl::StoreText(text);
}

bool TEdit::CommandNotified(WORD code)
{
    if (code != EN_CHANGE)
        return false;
    if (!storingText_)
        TextChanged();
    return true;
}

void TEdit::DefineProperties(TProperties& properties)
{
    TWinControl::DefineProperties(properties);
    properties.String("Text", [this] { return Text(); }, [this](std::string v) { SetText(v); }, std::string());
    properties.Event("OnChange", OnChange);
}
