#include "imagepack/UOriginalControl.h"

#include <memory>

#include "bitmap/UGraphicUtil.h"
#include "bitmap/UPaletteUtil.h"
#include "framework/graphics/Canvas.h"
#include "framework/runtime/Handles.h"

void TNoDefaultBrush::DefineProperties(TProperties& properties)
{
    properties.Color("Color", [this] { return Color(); }, [this](TColor c) { SetColor(c); }, std::nullopt);
    properties.Enum(
        "Style", StyleNames(), [this] { return static_cast<int>(Style()); },
        [this](int s) { SetStyle(static_cast<TBrushStyle>(s)); }, std::nullopt);
}

TOriginalControl::TOriginalControl(TComponent* owner) : TCustomControl(owner)
{
    ReplaceBrush(std::make_unique<TNoDefaultBrush>());
    Brush().OnChange = TNotifyEvent([this](TObject*) { BrushChanged(); });
    SetBounds(Left(), Top(), 75, 25);
}

HPALETTE TOriginalControl::GetPalette()
{
    return GetDefaultPalette();
}

void TOriginalControl::Paint(TCanvas& canvas)
{
    canvas.Brush().Assign(Brush());
    canvas.FillRect(ClientRect());
}

void TOriginalControl::BrushChanged()
{
    Invalidate();
}

void TOriginalControl::CreateParams(TCreateParams& params)
{
    TCustomControl::CreateParams(params);
    // Without the redraw styles the system keeps what it can of the window
    // on a resize; FullRepaint decides instead. Another class style needs a
    // class of its own.
    params.className = "ZelmoriaOriginalControl";
    params.classStyle &= ~static_cast<UINT>(CS_HREDRAW | CS_VREDRAW);
}

LRESULT TOriginalControl::WndProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        // The paint step covers every pixel; erasing first would flicker.
        return 1;
    case WM_WINDOWPOSCHANGED:
        if (fullRepaint_)
            Invalidate();
        break;
    default: break;
    }
    return TCustomControl::WndProc(message, wParam, lParam);
}

void TOriginalControl::PaintWindow(HDC dc)
{
    if (!IsPaletteScreen()) {
        TCustomControl::PaintWindow(dc);
        return;
    }
    // As a background palette: the control takes no colours away from the
    // active window, and maps its own to what the system palette holds.
    const TSelectedPalette palette(dc, GetDefaultPalette(), true);
    RealizePalette(dc);
    TCustomControl::PaintWindow(dc);
}

void TOriginalControl::DefineProperties(TProperties& properties)
{
    TCustomControl::DefineProperties(properties);
    properties.Nested("Brush", Brush());
    properties.Boolean("FullRepaint", [this] { return fullRepaint_; }, [this](bool v) { SetFullRepaint(v); }, true);
    // Older layouts carry it; these controls always paint all of themselves.
    properties.Ignored("Transparent");
}
