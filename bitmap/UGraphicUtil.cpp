#include "bitmap/UGraphicUtil.h"

#include "framework/runtime/Handles.h"
#include "framework/runtime/ProgramStart.h"

int RectWidth(const RECT& rect)
{
    return rect.right - rect.left;
}

int RectHeight(const RECT& rect)
{
    return rect.bottom - rect.top;
}

POINT RectCenter(const RECT& rect)
{
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

RECT CenterRectAt(const RECT& rect, POINT center)
{
    const POINT now = RectCenter(rect);
    RECT moved = rect;
    OffsetRect(&moved, center.x - now.x, center.y - now.y);
    return moved;
}

RECT ScaleToFit(const RECT& rect, int maxWidth, int maxHeight)
{
    const int w = RectWidth(rect);
    const int h = RectHeight(rect);
    int width = MulDiv(w, maxHeight, h);
    int height = maxHeight;
    if (maxWidth < width) {
        width = maxWidth;
        height = MulDiv(h, maxWidth, w);
    }
    return RECT{rect.left, rect.top, rect.left + width, rect.top + height};
}

RECT FitRectCentered(const RECT& source, const RECT& frame)
{
    return CenterRectAt(ScaleToFit(source, RectWidth(frame), RectHeight(frame)), RectCenter(frame));
}

bool IsRectDegenerate(const RECT& rect)
{
    return rect.right == rect.left || rect.top == rect.bottom;
}

void StretchDrawPart(TCanvas& canvas, const RECT& destination, TBitmap& bitmap, const RECT& source)
{
    if (IsRectDegenerate(destination) || IsRectDegenerate(source))
        return;
    canvas.StretchDraw(destination, bitmap, source);
}

bool IsWinNT()
{
    return PlatformId() == VER_PLATFORM_WIN32_NT;
}

int ScreenBitsPerPixel()
{
    const TWindowDC screen;
    return GetDeviceCaps(screen.Handle(), BITSPIXEL) * GetDeviceCaps(screen.Handle(), PLANES);
}

bool IsPaletteScreen()
{
    return ScreenBitsPerPixel() < 9;
}

bool QueryObjectInterface(TObject* object, REFIID id, void** out)
{
    *out = nullptr;
    // An object that is no IUnknown implements no interface at all.
    auto* unknown = dynamic_cast<IUnknown*>(object);
    return unknown && unknown->QueryInterface(id, out) == S_OK;
}
