#include "framework/graphics/Canvas.h"

#include "framework/graphics/Graphic.h"

TCanvas::TCanvas()
{
    // A changed tool has a new handle, so the old one must leave the context.
    brush_.OnChange = TNotifyEvent([this](TObject*) { brushSelection_.reset(); });
    font_.OnChange = TNotifyEvent([this](TObject*) { fontSelection_.reset(); });
    pen_.OnChange = TNotifyEvent([this](TObject*) { penSelection_.reset(); });
}

TCanvas::~TCanvas()
{
    DeselectTools();
}

HDC TCanvas::Handle()
{
    if (!dc_)
        CreateHandle();
    return dc_;
}

void TCanvas::SetHandle(HDC dc)
{
    if (dc == dc_)
        return;
    if (dc_) {
        DeselectTools();
        HandleReleasing();
    }
    dc_ = dc;
}

void TCanvas::CreateHandle()
{
    throw ECanvasError("キャンバスは描画できません");
}

void TCanvas::DeselectTools()
{
    fontSelection_.reset();
    brushSelection_.reset();
    penSelection_.reset();
}

void TCanvas::Require(unsigned tools)
{
    HDC dc = Handle();
    if ((tools & kFont) && !fontSelection_)
        fontSelection_.emplace(dc, font_.Handle());
    if ((tools & kFont))
        SetTextColor(dc, ColorToRGB(font_.Color()));
    if ((tools & kBrush) && !brushSelection_)
        brushSelection_.emplace(dc, brush_.Handle());
    if (tools & kBrush) {
        SetBkColor(dc, ColorToRGB(brush_.Color()));
        SetBkMode(dc, brush_.Style() == TBrushStyle::Solid ? OPAQUE : TRANSPARENT);
    }
    if ((tools & kPen) && !penSelection_)
        penSelection_.emplace(dc, pen_.Handle());
}

void TCanvas::Changing()
{
    OnChanging(this);
}

void TCanvas::Changed()
{
    OnChange(this);
}

void TCanvas::FillRect(const RECT& rect)
{
    Changing();
    Require(kBrush);
    ::FillRect(dc_, &rect, brush_.Handle());
    Changed();
}

void TCanvas::FrameRect(const RECT& rect)
{
    Changing();
    Require(kBrush);
    ::FrameRect(dc_, &rect, brush_.Handle());
    Changed();
}

void TCanvas::Rectangle(const RECT& rect)
{
    Changing();
    Require(kBrush | kPen);
    ::Rectangle(dc_, rect.left, rect.top, rect.right, rect.bottom);
    Changed();
}

void TCanvas::MoveTo(int x, int y)
{
    MoveToEx(Handle(), x, y, nullptr);
}

void TCanvas::LineTo(int x, int y)
{
    Changing();
    Require(kPen);
    ::LineTo(dc_, x, y);
    Changed();
}

void TCanvas::TextOut(int x, int y, std::string_view text)
{
    Changing();
    Require(kFont | kBrush);
    ::TextOutA(dc_, x, y, text.data(), static_cast<int>(text.size()));
    Changed();
}

void TCanvas::TextRect(const RECT& rect, int x, int y, std::string_view text)
{
    Changing();
    Require(kFont | kBrush);
    const UINT options = ETO_CLIPPED | (brush_.Style() == TBrushStyle::Solid ? ETO_OPAQUE : 0);
    ExtTextOutA(dc_, x, y, options, &rect, text.data(), static_cast<UINT>(text.size()), nullptr);
    Changed();
}

int TCanvas::DrawText(std::string_view text, RECT& rect, UINT flags)
{
    // Measuring draws nothing, so it changes nothing.
    const bool draws = (flags & DT_CALCRECT) == 0;
    if (draws)
        Changing();
    Require(kFont | kBrush);
    const int height = ::DrawTextA(dc_, text.data(), static_cast<int>(text.size()), &rect, flags);
    if (draws)
        Changed();
    return height;
}

SIZE TCanvas::TextExtent(std::string_view text)
{
    Require(kFont);
    SIZE size{};
    GetTextExtentPoint32A(dc_, text.data(), static_cast<int>(text.size()), &size);
    return size;
}

void TCanvas::Draw(int x, int y, TGraphic& graphic)
{
    if (graphic.Empty())
        return;
    const RECT rect{x, y, x + graphic.Width(), y + graphic.Height()};
    StretchDraw(rect, graphic);
}

void TCanvas::StretchDraw(const RECT& rect, TGraphic& graphic)
{
    if (graphic.Empty())
        return;
    Changing();
    Require(kBrush);
    graphic.Draw(*this, rect);
    Changed();
}

void TCanvas::StretchDraw(const RECT& rect, TGraphic& graphic, const RECT& part)
{
    if (graphic.Empty())
        return;
    Changing();
    Require(kBrush);
    graphic.DrawPart(*this, rect, part);
    Changed();
}

TColor TCanvas::Pixel(int x, int y)
{
    return ::GetPixel(Handle(), x, y);
}

void TCanvas::SetPixel(int x, int y, TColor color)
{
    Changing();
    ::SetPixel(Handle(), x, y, ColorToRGB(color));
    Changed();
}

RECT TCanvas::ClipRect()
{
    RECT rect{};
    GetClipBox(Handle(), &rect);
    return rect;
}

bool TCanvas::IsRectVisible(const RECT& rect)
{
    return RectVisible(Handle(), &rect) != 0;
}

void TCanvas::ExcludeClipRect(const RECT& rect)
{
    ::ExcludeClipRect(Handle(), rect.left, rect.top, rect.right, rect.bottom);
}

UINT TCanvas::RealizePalette()
{
    const UINT changed = ::RealizePalette(Handle());
    return changed == GDI_ERROR ? 0 : changed;
}
