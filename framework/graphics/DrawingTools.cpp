#include "framework/graphics/DrawingTools.h"
#include "framework/runtime/Handles.h"

void TGraphicsObject::Changed()
{
    OnChange(this);
}

const TEnumNames& TBrush::StyleNames()
{
    static const TEnumNames names{"bsSolid",     "bsClear",     "bsHorizontal", "bsVertical",
                                  "bsFDiagonal", "bsBDiagonal", "bsCross",      "bsDiagCross"};
    return names;
}

void TBrush::SetColor(TColor color)
{
    if (color == color_)
        return;
    color_ = color;
    FreeHandle();
    Changed();
}

void TBrush::SetStyle(TBrushStyle style)
{
    if (style == style_)
        return;
    style_ = style;
    FreeHandle();
    Changed();
}

HBRUSH TBrush::Handle()
{
    if (!handle_) {
        LOGBRUSH brush{};
        brush.lbColor = ColorToRGB(color_);
        switch (style_) {
        case TBrushStyle::Solid: brush.lbStyle = BS_SOLID; break;
        case TBrushStyle::Clear: brush.lbStyle = BS_HOLLOW; break;
        default:
            brush.lbStyle = BS_HATCHED;
            brush.lbHatch = static_cast<ULONG_PTR>(static_cast<int>(style_) - static_cast<int>(TBrushStyle::Horizontal));
            break;
        }
        handle_.Reset(CreateBrushIndirect(&brush));
    }
    return handle_.Get();
}

void TBrush::FreeHandle()
{
    handle_.Reset();
}

void TBrush::DefineProperties(TProperties& properties)
{
    properties.Color("Color", [this] { return color_; }, [this](TColor c) { SetColor(c); }, clWhite);
    properties.Enum(
        "Style", StyleNames(), [this] { return static_cast<int>(style_); },
        [this](int s) { SetStyle(static_cast<TBrushStyle>(s)); }, 0);
}

void TBrush::Assign(const TPersistent& source)
{
    const auto* brush = dynamic_cast<const TBrush*>(&source);
    if (!brush)
        return TGraphicsObject::Assign(source);
    if (brush->color_ == color_ && brush->style_ == style_)
        return;
    color_ = brush->color_;
    style_ = brush->style_;
    FreeHandle();
    Changed();
}

int ScreenPixelsPerInch()
{
    const TWindowDC screen;
    return GetDeviceCaps(screen.Handle(), LOGPIXELSY);
}

TFont::TFont() : pixelsPerInch_(ScreenPixelsPerInch()) {}

void TFont::SetName(const std::string& name)
{
    if (name == name_)
        return;
    name_ = name;
    FreeHandle();
    Changed();
}

void TFont::SetCharset(BYTE charset)
{
    if (charset == charset_)
        return;
    charset_ = charset;
    FreeHandle();
    Changed();
}

void TFont::SetHeight(int height)
{
    if (height == height_)
        return;
    height_ = height;
    FreeHandle();
    Changed();
}

int TFont::Size() const
{
    return -MulDiv(height_, 72, pixelsPerInch_);
}

void TFont::SetSize(int points)
{
    SetHeight(-MulDiv(points, pixelsPerInch_, 72));
}

void TFont::SetColor(TColor color)
{
    if (color == color_)
        return;
    color_ = color;
    Changed();
}

void TFont::SetStyle(std::uint32_t style)
{
    if (style == style_)
        return;
    style_ = style;
    FreeHandle();
    Changed();
}

HFONT TFont::Handle()
{
    if (!handle_) {
        LOGFONTA font{};
        font.lfHeight = height_;
        font.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
        font.lfItalic = (style_ & fsItalic) != 0;
        font.lfUnderline = (style_ & fsUnderline) != 0;
        font.lfStrikeOut = (style_ & fsStrikeOut) != 0;
        font.lfCharSet = charset_;
        font.lfOutPrecision = OUT_DEFAULT_PRECIS;
        font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
        font.lfQuality = DEFAULT_QUALITY;
        font.lfPitchAndFamily = DEFAULT_PITCH;
        lstrcpynA(font.lfFaceName, name_.c_str(), LF_FACESIZE);
        handle_.Reset(CreateFontIndirectA(&font));
    }
    return handle_.Get();
}

void TFont::FreeHandle()
{
    handle_.Reset();
}

void TFont::DefineProperties(TProperties& properties)
{
    static const TEnumNames styleNames{"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};
    properties.String("Name", [this] { return name_; }, [this](const std::string& n) { SetName(n); }, std::string());
    properties.Integer("Charset", [this] { return static_cast<int>(charset_); },
                       [this](int c) { SetCharset(static_cast<BYTE>(c)); }, DEFAULT_CHARSET);
    properties.Integer("Height", [this] { return height_; }, [this](int h) { SetHeight(h); }, std::nullopt);
    properties.Color("Color", [this] { return color_; }, [this](TColor c) { SetColor(c); }, clWindowText);
    properties.Set("Style", styleNames, [this] { return style_; }, [this](std::uint32_t s) { SetStyle(s); }, 0u);
}

void TFont::Assign(const TPersistent& source)
{
    const auto* font = dynamic_cast<const TFont*>(&source);
    if (!font)
        return TGraphicsObject::Assign(source);
    name_ = font->name_;
    charset_ = font->charset_;
    height_ = font->height_;
    pixelsPerInch_ = font->pixelsPerInch_;
    color_ = font->color_;
    style_ = font->style_;
    FreeHandle();
    Changed();
}

void TPen::SetColor(TColor color)
{
    if (color == color_)
        return;
    color_ = color;
    FreeHandle();
    Changed();
}

void TPen::SetWidth(int width)
{
    if (width == width_)
        return;
    width_ = width;
    FreeHandle();
    Changed();
}

void TPen::SetStyle(TPenStyle style)
{
    if (style == style_)
        return;
    style_ = style;
    FreeHandle();
    Changed();
}

HPEN TPen::Handle()
{
    if (!handle_) {
        static constexpr int kStyles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL};
        handle_.Reset(CreatePen(kStyles[static_cast<int>(style_)], width_, ColorToRGB(color_)));
    }
    return handle_.Get();
}

void TPen::FreeHandle()
{
    handle_.Reset();
}

void TPen::DefineProperties(TProperties& properties)
{
    static const TEnumNames styleNames{"psSolid", "psDash", "psDot", "psDashDot", "psDashDotDot", "psClear"};
    properties.Color("Color", [this] { return color_; }, [this](TColor c) { SetColor(c); }, clBlack);
    properties.Integer("Width", [this] { return width_; }, [this](int w) { SetWidth(w); }, 1);
    properties.Enum(
        "Style", styleNames, [this] { return static_cast<int>(style_); },
        [this](int s) { SetStyle(static_cast<TPenStyle>(s)); }, 0);
}

void TPen::Assign(const TPersistent& source)
{
    const auto* pen = dynamic_cast<const TPen*>(&source);
    if (!pen)
        return TGraphicsObject::Assign(source);
    color_ = pen->color_;
    width_ = pen->width_;
    style_ = pen->style_;
    FreeHandle();
    Changed();
}
