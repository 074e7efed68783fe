#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "framework/runtime/Handles.h"

// Pieces of the bitmap code that other bitmap libraries share: the shapes a
// bitmap takes, a bitmap header with room for any colour table, a memory
// context holding one bitmap, and conversions between palettes and colour
// tables.

enum class TPixelFormat { Device, Bit1, Bit4, Bit8, Bit15, Bit16, Bit24, Bit32, Custom };
enum class TBitmapHandleType { DIB, DDB };

// A BITMAPINFO with room for a full colour table or the three masks.
struct TDibHeader {
    BITMAPINFOHEADER header{};
    RGBQUAD colors[256]{};

    BITMAPINFO* Info() { return reinterpret_cast<BITMAPINFO*>(this); }
};

// The bytes of an uncompressed section of that shape.
std::size_t SectionSize(const BITMAPINFOHEADER& header);

// A memory context with one bitmap (and its palette) selected, for one scope.
// A bitmap can be selected into one context at a time: the caller makes sure
// no other context holds it. Raises EOutOfResources when no context can be
// made.
class TSelectedBitmap {
public:
    explicit TSelectedBitmap(HBITMAP bitmap, HPALETTE palette = nullptr);
    TSelectedBitmap(const TSelectedBitmap&) = delete;
    TSelectedBitmap& operator=(const TSelectedBitmap&) = delete;

    HDC Handle() const { return dc_.Handle(); }

private:
    TMemoryDC dc_;
    TSelectedObject bitmap_;
    TSelectedPalette palette_;
};

// The palette's first entries (at most limit, at most 256) as colour-table
// entries.
std::vector<RGBQUAD> PaletteColors(HPALETTE palette, int limit);
// A new palette of the colours (at most 256); none for no colours. Raises
// EOutOfResources when the platform refuses.
HPALETTE PaletteFromColors(const std::vector<RGBQUAD>& colors);
// A new palette with the same colours; none for none. The caller owns it.
HPALETTE CopyPalette(HPALETTE palette);
