#include "framework/controls/GlyphButton.h"

#include "framework/graphics/Canvas.h"
#include "framework/ui/Form.h"

namespace {

constexpr int kGlyphSpacing = 4;

} // namespace

TBitBtn::TBitBtn(TComponent* owner) : TWinControl(owner)
{
    SetBounds(0, 0, 75, 25);
    SetTabStop(true);
}

void TBitBtn::CreateParams(TCreateParams& params)
{
    TWinControl::CreateParams(params);
    params.className = "BUTTON";
    params.style |= BS_OWNERDRAW;
}

void TBitBtn::SetDefault(bool isDefault)
{
    if (isDefault == default_)
        return;
    default_ = isDefault;
    Invalidate();
}

void TBitBtn::SetGlyph(std::unique_ptr<TGraphic> glyph)
{
    glyph_ = std::move(glyph);
    Invalidate();
}

void TBitBtn::Click()
{
    if (!Enabled())
        return;
    if (TForm* form = ParentForm(*this); form && modalResult_ != mrNone)
        form->SetModalResult(modalResult_);
    TWinControl::Click();
}

bool TBitBtn::CommandNotified(WORD code)
{
    // A quick second click arrives as a double click; it is a click all the same.
    if (code != BN_CLICKED && code != BN_DOUBLECLICKED)
        return false;
    Click();
    return true;
}

LRESULT TBitBtn::WndProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETFOCUS || message == WM_KILLFOCUS) {
        const LRESULT result = TWinControl::WndProc(message, wParam, lParam);
        InvalidateFormButtons();
        return result;
    }
    return TWinControl::WndProc(message, wParam, lParam);
}

void TBitBtn::InvalidateFormButtons()
{
    TWinControl* top = TopParent();
    if (!top || top == this)
        return Invalidate();
    for (TComponent* component : top->Components()) {
        if (auto* button = dynamic_cast<TBitBtn*>(component))
            button->Invalidate();
    }
}

bool TBitBtn::ShowsAsDefault(bool focused) const
{
    if (focused)
        return true;
    if (!default_)
        return false;
    // Another button with the focus is the one that Enter clicks.
    auto* focusedButton = dynamic_cast<TBitBtn*>(FromHandle(GetFocus()));
    return !focusedButton || focusedButton->TopParent() != TopParent();
}

bool TBitBtn::DrawItem(const DRAWITEMSTRUCT& item)
{
    HDC dc = item.hDC;
    RECT frame = item.rcItem;
    const bool pressed = item.itemState & ODS_SELECTED;
    const bool focused = item.itemState & ODS_FOCUS;
    const bool disabled = item.itemState & ODS_DISABLED;

    if (ShowsAsDefault(focused)) {
        FrameRect(dc, &frame, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&frame, -1, -1);
    }
    DrawFrameControl(dc, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));

    TCanvas canvas;
    canvas.SetHandle(dc);
    canvas.Font().Assign(Font());

    const std::string caption = Text();
    RECT textSize{0, 0, 0, 0};
    canvas.DrawText(caption, textSize, DT_CALCRECT | DT_SINGLELINE);
    const int glyphWidth = glyph_ && !glyph_->Empty() ? glyph_->Width() : 0;
    const int glyphHeight = glyphWidth ? glyph_->Height() : 0;
    const int spacing = glyphWidth && !caption.empty() ? kGlyphSpacing : 0;
    const int contentWidth = glyphWidth + spacing + textSize.right;
    const int shift = pressed ? 1 : 0;
    const int centreY = (frame.top + frame.bottom) / 2 + shift;
    int x = (frame.left + frame.right - contentWidth) / 2 + shift;

    if (glyphWidth) {
        canvas.Draw(x, centreY - glyphHeight / 2, *glyph_);
        x += glyphWidth + spacing;
    }
    RECT textRect{x, centreY - textSize.bottom / 2, x + textSize.right, centreY - textSize.bottom / 2 + textSize.bottom};
    if (disabled) {
        canvas.SetHandle(nullptr);
        DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(caption.c_str()), static_cast<WPARAM>(caption.size()),
                   textRect.left, textRect.top, textSize.right, textSize.bottom, DST_PREFIXTEXT | DSS_DISABLED);
    } else {
        // The glyph may have left its own brush on the canvas.
        canvas.Brush().SetStyle(TBrushStyle::Clear);
        canvas.Font().SetColor(clBtnText);
        canvas.DrawText(caption, textRect, DT_SINGLELINE);
        canvas.SetHandle(nullptr);
    }
    if (focused) {
        RECT focus = frame;
        InflateRect(&focus, -4, -4);
        DrawFocusRect(dc, &focus);
    }
    return true;
}

void TBitBtn::DefineProperties(TProperties& properties)
{
    TWinControl::DefineProperties(properties);
    properties.String("Caption", [this] { return Text(); }, [this](std::string v) { SetText(v); }, std::string());
    properties.Boolean("Default", [this] { return default_; }, [this](bool v) { SetDefault(v); }, false);
    properties.Boolean("Cancel", [this] { return cancel_; }, [this](bool v) { SetCancel(v); }, false);
    properties.Enum(
        "ModalResult", ModalResultNames(), [this] { return modalResult_; }, [this](int v) { SetModalResult(v); },
        mrNone);
}
