#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "framework/runtime/Colors.h"
#include "framework/runtime/Components.h"
#include "framework/runtime/Handles.h"

// Drawing tools that announce every change through OnChange and keep a GDI
// handle made on demand, remade after a change.
class TGraphicsObject : public TPersistent {
public:
    TNotifyEvent OnChange;

protected:
    void Changed();
};

enum class TBrushStyle { Solid, Clear, Horizontal, Vertical, FDiagonal, BDiagonal, Cross, DiagCross };

class TBrush : public TGraphicsObject {
public:
    TBrush() = default;
    TBrush(const TBrush&) = delete;
    TBrush& operator=(const TBrush&) = delete;

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle style);

    HBRUSH Handle();

    void DefineProperties(TProperties& properties) override;
    void Assign(const TPersistent& source) override;

    static const TEnumNames& StyleNames();

private:
    void FreeHandle();

    TColor color_ = clWhite;
    TBrushStyle style_ = TBrushStyle::Solid;
    TGdiObject<HBRUSH> handle_;
};

enum TFontStyle : std::uint32_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

class TFont : public TGraphicsObject {
public:
    TFont();
    TFont(const TFont&) = delete;
    TFont& operator=(const TFont&) = delete;

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name);
    BYTE Charset() const { return charset_; }
    void SetCharset(BYTE charset);
    // Negative: character height in pixels; positive: cell height.
    int Height() const { return height_; }
    void SetHeight(int height);
    // Points, through PixelsPerInch.
    int Size() const;
    void SetSize(int points);
    int PixelsPerInch() const { return pixelsPerInch_; }
    void SetPixelsPerInch(int pixelsPerInch) { pixelsPerInch_ = pixelsPerInch; }
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    std::uint32_t Style() const { return style_; }
    void SetStyle(std::uint32_t style);

    HFONT Handle();

    void DefineProperties(TProperties& properties) override;
    void Assign(const TPersistent& source) override;

private:
    void FreeHandle();

    std::string name_;
    BYTE charset_ = DEFAULT_CHARSET;
    int height_ = -12;
    int pixelsPerInch_;
    TColor color_ = clWindowText;
    std::uint32_t style_ = 0;
    TGdiObject<HFONT> handle_;
};

enum class TPenStyle { Solid, Dash, Dot, DashDot, DashDotDot, Clear };

class TPen : public TGraphicsObject {
public:
    TPen() = default;
    TPen(const TPen&) = delete;
    TPen& operator=(const TPen&) = delete;

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    int Width() const { return width_; }
    void SetWidth(int width);
    TPenStyle Style() const { return style_; }
    void SetStyle(TPenStyle style);

    HPEN Handle();

    void DefineProperties(TProperties& properties) override;
    void Assign(const TPersistent& source) override;

private:
    void FreeHandle();

    TColor color_ = clBlack;
    int width_ = 1;
    TPenStyle style_ = TPenStyle::Solid;
    TGdiObject<HPEN> handle_;
};

// Pixels per inch of the screen.
int ScreenPixelsPerInch();
