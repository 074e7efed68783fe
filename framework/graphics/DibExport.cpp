#include "framework/graphics/DibExport.h"

#include <cstring>

#include "framework/graphics/BitmapFile.h"
#include "framework/graphics/BitmapSupport.h"
#include "framework/graphics/InvalidGraphic.h"
#include "framework/runtime/Handles.h"

namespace {

BITMAPINFOHEADER OwnDepthHeader(HBITMAP bitmap)
{
    BITMAP description{};
    if (!GetObjectA(bitmap, sizeof description, &description))
        throw EInvalidGraphic(kInvalidBitmapMessage);
    int bitCount = description.bmBitsPixel * description.bmPlanes;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 32)
        bitCount = 24;
    return BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), description.bmWidth, description.bmHeight, 1,
                            static_cast<WORD>(bitCount), BI_RGB, 0, 0, 0, 0, 0};
}

} // namespace

void GetDIBSizes(HBITMAP bitmap, DWORD& infoHeaderSize, DWORD& imageSize)
{
    const BITMAPINFOHEADER header = OwnDepthHeader(bitmap);
    const DWORD colors = header.biBitCount <= 8 ? 1u << header.biBitCount : 0;
    infoHeaderSize = sizeof header + colors * sizeof(RGBQUAD);
    imageSize = static_cast<DWORD>(SectionSize(header));
}

bool GetDIB(HBITMAP bitmap, HPALETTE palette, void* info, void* bits)
{
    const BITMAPINFOHEADER header = OwnDepthHeader(bitmap);
    std::memcpy(info, &header, sizeof header);
    const TWindowDC screen;
    const TSelectedPalette selected(screen.Handle(), palette, false);
    if (palette)
        RealizePalette(screen.Handle());
    const int lines = GetDIBits(screen.Handle(), bitmap, 0, static_cast<UINT>(header.biHeight), bits,
                                static_cast<BITMAPINFO*>(info), DIB_RGB_COLORS);
    return lines == header.biHeight;
}
