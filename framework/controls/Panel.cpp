#include "framework/controls/Panel.h"

#include "framework/graphics/Canvas.h"

namespace {

// One pixel wide frame: top and left in one colour, bottom and right in the other.
void Frame3D(TCanvas& canvas, RECT& rect, TColor topLeft, TColor bottomRight)
{
    canvas.Pen().SetColor(topLeft);
    canvas.MoveTo(rect.left, rect.bottom - 1);
    canvas.LineTo(rect.left, rect.top);
    canvas.LineTo(rect.right - 1, rect.top);
    canvas.Pen().SetColor(bottomRight);
    canvas.LineTo(rect.right - 1, rect.bottom - 1);
    canvas.LineTo(rect.left - 1, rect.bottom - 1);
    InflateRect(&rect, -1, -1);
}

} // namespace

void DrawBevel(TCanvas& canvas, RECT& rect, TBevelCut cut, int width)
{
    if (cut == TBevelCut::None)
        return;
    const TColor topLeft = cut == TBevelCut::Raised ? clBtnHighlight : clBtnShadow;
    const TColor bottomRight = cut == TBevelCut::Raised ? clBtnShadow : clBtnHighlight;
    canvas.Pen().SetWidth(1);
    canvas.Pen().SetStyle(TPenStyle::Solid);
    for (int i = 0; i < width; ++i)
        Frame3D(canvas, rect, topLeft, bottomRight);
}

TPanel::TPanel(TComponent* owner) : TCustomControl(owner)
{
    SetBounds(0, 0, 185, 41);
    SetColor(clBtnFace);
}

void TPanel::SetBevelOuter(TBevelCut cut)
{
    if (cut == bevelOuter_)
        return;
    bevelOuter_ = cut;
    Invalidate();
}

void TPanel::SetBevelInner(TBevelCut cut)
{
    if (cut == bevelInner_)
        return;
    bevelInner_ = cut;
    Invalidate();
}

void TPanel::SetBevelWidth(int width)
{
    if (width == bevelWidth_ || width < 1)
        return;
    bevelWidth_ = width;
    Invalidate();
}

void TPanel::Paint(TCanvas& canvas)
{
    RECT rect = ClientRect();
    DrawBevel(canvas, rect, bevelOuter_, bevelWidth_);
    DrawBevel(canvas, rect, bevelInner_, bevelWidth_);
}

void TPanel::DefineProperties(TProperties& properties)
{
    static const TEnumNames cuts{"bvNone", "bvLowered", "bvRaised"};
    TCustomControl::DefineProperties(properties);
    properties.Enum(
        "BevelOuter", cuts, [this] { return static_cast<int>(bevelOuter_); },
        [this](int v) { SetBevelOuter(static_cast<TBevelCut>(v)); }, static_cast<int>(TBevelCut::Raised));
    properties.Enum(
        "BevelInner", cuts, [this] { return static_cast<int>(bevelInner_); },
        [this](int v) { SetBevelInner(static_cast<TBevelCut>(v)); }, static_cast<int>(TBevelCut::None));
    properties.Integer("BevelWidth", [this] { return bevelWidth_; }, [this](int v) { SetBevelWidth(v); }, 1);
    properties.Color("Color", [this] { return Color(); }, [this](TColor v) { SetColor(v); }, clBtnFace);
}
