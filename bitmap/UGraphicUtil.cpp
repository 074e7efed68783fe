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

namespace {

// A mapping that sends the bitmap's logical rectangle (0, 0, width, height)
// to the device rectangle source, undone in reverse order on leaving.
class TPartMapping {
public:
    TPartMapping(HDC dc, const RECT& source, int width, int height) : dc_(dc)
    {
        SetViewportOrgEx(dc_, source.left, source.top, &origin_);
        mapMode_ = SetMapMode(dc_, MM_ANISOTROPIC);
        SetViewportExtEx(dc_, RectWidth(source), RectHeight(source), &viewportExtent_);
        SetWindowExtEx(dc_, width, height, &windowExtent_);
    }
    ~TPartMapping()
    {
        SetViewportExtEx(dc_, viewportExtent_.cx, viewportExtent_.cy, nullptr);
        SetWindowExtEx(dc_, windowExtent_.cx, windowExtent_.cy, nullptr);
        SetViewportOrgEx(dc_, origin_.x, origin_.y, nullptr);
        SetMapMode(dc_, mapMode_);
    }
    TPartMapping(const TPartMapping&) = delete;
    TPartMapping& operator=(const TPartMapping&) = delete;

private:
    HDC dc_;
    POINT origin_{};
    int mapMode_ = MM_TEXT;
    SIZE viewportExtent_{};
    SIZE windowExtent_{};
};

} // namespace

void StretchDrawPart(TCanvas& canvas, const RECT& destination, TBitmap& bitmap, const RECT& source)
{
    if (IsRectDegenerate(destination) || IsRectDegenerate(source))
        return;
    const RECT whole{0, 0, bitmap.Width(), bitmap.Height()};
    if (EqualRect(&source, &whole)) {
        canvas.StretchDraw(destination, bitmap);
        return;
    }
    const TPartMapping mapping(bitmap.Canvas().Handle(), source, bitmap.Width(), bitmap.Height());
    canvas.StretchDraw(destination, bitmap);
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
