#include "framework/graphics/BitmapSupport.h"

#include <algorithm>
#include <cstdlib>

#include "framework/graphics/BitmapFile.h"
#include "framework/graphics/Graphic.h"

namespace {

HDC MadeOrRaise(const TMemoryDC& dc)
{
    if (!dc)
        throw EOutOfResources();
    return dc.Handle();
}

} // namespace

TSelectedBitmap::TSelectedBitmap(HBITMAP bitmap, HPALETTE palette)
    : bitmap_(MadeOrRaise(dc_), bitmap), palette_(dc_.Handle(), palette, true)
{
    if (palette)
        RealizePalette(dc_.Handle());
}

std::size_t SectionSize(const BITMAPINFOHEADER& header)
{
    return static_cast<std::size_t>(TDibImage::StrideOf(header.biWidth, header.biBitCount)) *
           static_cast<std::size_t>(std::abs(header.biHeight));
}

std::vector<RGBQUAD> PaletteColors(HPALETTE palette, int limit)
{
    PALETTEENTRY entries[256];
    const UINT count = GetPaletteEntries(palette, 0, static_cast<UINT>(std::clamp(limit, 0, 256)), entries);
    std::vector<RGBQUAD> colors(count);
    for (UINT i = 0; i < count; ++i)
        colors[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
    return colors;
}

HPALETTE PaletteFromColors(const std::vector<RGBQUAD>& colors)
{
    if (colors.empty())
        return nullptr;
    struct {
        WORD version;
        WORD count;
        PALETTEENTRY entries[256];
    } palette{0x300, static_cast<WORD>(std::min<std::size_t>(colors.size(), 256)), {}};
    for (std::size_t i = 0; i < palette.count; ++i)
        palette.entries[i] = PALETTEENTRY{colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue, 0};
    HPALETTE handle = CreatePalette(reinterpret_cast<LOGPALETTE*>(&palette));
    if (!handle)
        throw EOutOfResources();
    return handle;
}

HPALETTE CopyPalette(HPALETTE palette)
{
    return palette ? PaletteFromColors(PaletteColors(palette, 256)) : nullptr;
}
