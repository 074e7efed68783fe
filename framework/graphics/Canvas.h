#pragma once

#include <windows.h>

#include <optional>
#include <string_view>

#include "framework/graphics/DrawingTools.h"
#include "framework/runtime/Handles.h"

class TGraphic;

// Drawing on a device context with a brush, a font and a pen. The context is
// asked for on first use through CreateHandle, which subclasses provide; the
// tools are selected into it before each drawing call that uses them.
class TCanvas : public TPersistent {
public:
    TCanvas();
    ~TCanvas() override;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    HDC Handle();
    bool HandleAllocated() const { return dc_ != nullptr; }
    // Attaches a device context the caller owns (0 detaches it).
    void SetHandle(HDC dc);

    TBrush& Brush() { return brush_; }
    TFont& Font() { return font_; }
    TPen& Pen() { return pen_; }
    DWORD CopyMode() const { return copyMode_; }
    void SetCopyMode(DWORD copyMode) { copyMode_ = copyMode; }

    // One thread at a time draws on a locked canvas; the lock nests.
    void Lock() { lock_.Lock(); }
    bool TryLock() { return lock_.TryLock(); }
    void Unlock() { lock_.Unlock(); }

    // Fired before and after every call that draws: a bitmap's canvas stops
    // sharing the bitmap's image before and announces the change after.
    TNotifyEvent OnChanging;
    TNotifyEvent OnChange;

    void FillRect(const RECT& rect);
    void FrameRect(const RECT& rect);
    void Rectangle(const RECT& rect);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void TextOut(int x, int y, std::string_view text);
    // Text clipped to the rectangle, starting at x, y.
    void TextRect(const RECT& rect, int x, int y, std::string_view text);
    // The platform's text drawing with DT_ flags; answers the text height
    // (with DT_CALCRECT the rectangle is widened or heightened to fit).
    int DrawText(std::string_view text, RECT& rect, UINT flags);
    SIZE TextExtent(std::string_view text);

    void Draw(int x, int y, TGraphic& graphic);
    void StretchDraw(const RECT& rect, TGraphic& graphic);
    // Only the part of the graphic, in its pixels (see TGraphic::DrawPart).
    void StretchDraw(const RECT& rect, TGraphic& graphic, const RECT& part);

    TColor Pixel(int x, int y);
    void SetPixel(int x, int y, TColor color);

    RECT ClipRect();
    bool IsRectVisible(const RECT& rect);
    // Takes the rectangle out of the clip region: later drawing leaves it.
    void ExcludeClipRect(const RECT& rect);
    // Maps the palette selected into the context to the device; answers the
    // number of entries that changed in the system palette.
    UINT RealizePalette();

protected:
    // Gives the canvas a device context, with SetHandle; the base has none
    // to give and raises.
    virtual void CreateHandle();
    // Runs when the context goes, before it is released.
    virtual void HandleReleasing() {}
    virtual void Changing();
    virtual void Changed();

private:
    enum : unsigned { kFont = 1, kBrush = 2, kPen = 4 };

    void Require(unsigned tools);
    void DeselectTools();

    HDC dc_ = nullptr;
    std::optional<TSelectedObject> fontSelection_;
    std::optional<TSelectedObject> brushSelection_;
    std::optional<TSelectedObject> penSelection_;
    TBrush brush_;
    TFont font_;
    TPen pen_;
    DWORD copyMode_ = SRCCOPY;
    TCriticalSection lock_;
};

class ECanvasError : public Exception {
public:
    using Exception::Exception;
};

// Holds a canvas's lock for one scope.
class TCanvasLock {
public:
    explicit TCanvasLock(TCanvas& canvas) : canvas_(canvas) { canvas_.Lock(); }
    ~TCanvasLock() { canvas_.Unlock(); }
    TCanvasLock(const TCanvasLock&) = delete;
    TCanvasLock& operator=(const TCanvasLock&) = delete;

private:
    TCanvas& canvas_;
};
