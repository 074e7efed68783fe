#include "framework/controls/Bevel.h"

#include "framework/controls/Panel.h"
#include "framework/graphics/Canvas.h"
#include "framework/runtime/Colors.h"

TBevel::TBevel(TComponent* owner) : TControl(owner)
{
    SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape shape)
{
    if (shape == shape_)
        return;
    shape_ = shape;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle style)
{
    if (style == style_)
        return;
    style_ = style;
    Invalidate();
}

void TBevel::Paint(TCanvas& canvas)
{
    // A lowered bevel has its shadow first (top, left), a raised one its highlight.
    const TColor first = style_ == TBevelStyle::Lowered ? clBtnShadow : clBtnHighlight;
    const TColor second = style_ == TBevelStyle::Lowered ? clBtnHighlight : clBtnShadow;
    const int width = Width();
    const int height = Height();
    canvas.Pen().SetWidth(1);
    canvas.Pen().SetStyle(TPenStyle::Solid);

    auto line = [&canvas](TColor color, int x1, int y1, int x2, int y2) {
        canvas.Pen().SetColor(color);
        canvas.MoveTo(x1, y1);
        canvas.LineTo(x2, y2);
    };
    switch (shape_) {
    case TBevelShape::Box: {
        RECT rect{0, 0, width, height};
        DrawBevel(canvas, rect, style_ == TBevelStyle::Lowered ? TBevelCut::Lowered : TBevelCut::Raised, 1);
        break;
    }
    case TBevelShape::Frame: {
        // Two interleaved frames give an etched edge.
        line(first, 0, height - 1, 0, 0);
        line(first, 0, 0, width - 1, 0);
        line(first, width - 2, 1, width - 2, height - 2);
        line(first, width - 2, height - 2, 0, height - 2);
        line(second, 1, height - 2, 1, 1);
        line(second, 1, 1, width - 2, 1);
        line(second, width - 1, 0, width - 1, height - 1);
        line(second, width - 1, height - 1, -1, height - 1);
        break;
    }
    case TBevelShape::TopLine:
        line(first, 0, 0, width, 0);
        line(second, 0, 1, width, 1);
        break;
    case TBevelShape::BottomLine:
        line(first, 0, height - 2, width, height - 2);
        line(second, 0, height - 1, width, height - 1);
        break;
    case TBevelShape::LeftLine:
        line(first, 0, 0, 0, height);
        line(second, 1, 0, 1, height);
        break;
    case TBevelShape::RightLine:
        line(first, width - 2, 0, width - 2, height);
        line(second, width - 1, 0, width - 1, height);
        break;
    }
}

void TBevel::DefineProperties(TProperties& properties)
{
    static const TEnumNames shapes{"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine"};
    static const TEnumNames styles{"bsLowered", "bsRaised"};
    TControl::DefineProperties(properties);
    properties.Enum(
        "Shape", shapes, [this] { return static_cast<int>(shape_); },
        [this](int v) { SetShape(static_cast<TBevelShape>(v)); }, 0);
    properties.Enum(
        "Style", styles, [this] { return static_cast<int>(style_); },
        [this](int v) { SetStyle(static_cast<TBevelStyle>(v)); }, 0);
}
