#pragma once

// Pictures with a transparent colour and what drawing them must leave, for
// the masked-image and safety-bitmap tests of both Windows families.

#include <windows.h>

#include <exception>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "bitmap/UDIB.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/BitmapSupport.h"
#include "tests/bitmap/BitmapTestSupport.h"

constexpr COLORREF kKey = RGB(255, 0, 255);
constexpr COLORREF kBackground = RGB(0, 128, 255);

// Never the key nor the background: red stays below 255, blue below 200.
inline COLORREF PatternColor(int x, int y)
{
    return RGB(20 + (x * 37 + y * 11) % 220, (x * 13 + y * 29) % 256, 10 + (x * 7 + y * 17) % 180);
}

// A ring of transparent pixels and a transparent bottom-left corner.
inline bool IsKeyPixel(int x, int y, int width, int height)
{
    const int dx = 2 * x - width;
    const int dy = 2 * y - height;
    const int r = dx * dx + dy * dy;
    const int outer = width * width / 4;
    return (r < outer && r > outer / 4) || (x < 3 && y > height - 3);
}

inline COLORREF ExpectedPictureColor(int x, int y, int width, int height)
{
    return IsKeyPixel(x, y, width, height) ? kKey : PatternColor(x, y);
}

// Bitmap file data of 24 or 32 bits per pixel, bottom-up; at 32 bits the
// fourth byte of every pixel holds a non-zero value.
inline Bytes BitmapFileOf(int width, int height, int bitCount, const std::function<COLORREF(int, int)>& colorAt)
{
    const int stride = Stride(width, bitCount);
    Bytes pixels(static_cast<std::size_t>(stride) * height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = &pixels[static_cast<std::size_t>(height - 1 - y) * stride];
        for (int x = 0; x < width; ++x) {
            const COLORREF color = colorAt(x, y);
            std::uint8_t* pixel = row + x * (bitCount / 8);
            pixel[0] = GetBValue(color);
            pixel[1] = GetGValue(color);
            pixel[2] = GetRValue(color);
            if (bitCount == 32)
                pixel[3] = static_cast<std::uint8_t>(0x80 | x);
        }
    }
    Bytes file(14 + 40);
    const BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), width, height, 1, static_cast<WORD>(bitCount), BI_RGB,
                                  static_cast<DWORD>(pixels.size()), 0, 0, 0, 0};
    file[0] = 'B';
    file[1] = 'M';
    const DWORD offset = 14 + 40;
    std::memcpy(&file[10], &offset, 4);
    std::memcpy(&file[14], &header, sizeof header);
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

// The picture with its ring of key pixels.
inline Bytes PictureFile(int width, int height, int bitCount = 24)
{
    return BitmapFileOf(width, height, bitCount,
                        [=](int x, int y) { return ExpectedPictureColor(x, y, width, height); });
}

// A transparent 37 x 23 picture whose automatic colour, its bottom-left
// pixel, is the key.
template <class TBitmapClass>
void LoadTransparentPicture(TBitmapClass& bitmap)
{
    LoadBytes(bitmap, PictureFile(37, 23));
    bitmap.SetTransparent(true);
}

// An 8-bit section with the colours as its palette and colour table.
template <class TBitmapClass>
void MakeEightBit(TBitmapClass& bitmap, const std::vector<COLORREF>& colors, int width, int height,
                  const std::function<int(int, int)>& indexAt)
{
    bitmap.SetPixelFormat(TPixelFormat::Bit8);
    bitmap.SetSize(width, height);
    std::vector<RGBQUAD> table;
    for (COLORREF color : colors)
        table.push_back(RGBQUAD{GetBValue(color), GetGValue(color), GetRValue(color), 0});
    bitmap.SetPalette(PaletteFromColors(table));
    for (int y = 0; y < height; ++y) {
        auto* row = static_cast<std::uint8_t*>(bitmap.ScanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = static_cast<std::uint8_t>(indexAt(x, y));
    }
}

// What a draw at (0, 0) over the background must leave.
inline std::vector<DWORD> ExpectedOverBackground(int width, int height)
{
    std::vector<DWORD> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(IsKeyPixel(x, y, width, height) ? Rgb(kBackground) : Rgb(PatternColor(x, y)));
    return pixels;
}

inline std::vector<DWORD> OpaquePicture(int width, int height)
{
    std::vector<DWORD> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(Rgb(ExpectedPictureColor(x, y, width, height)));
    return pixels;
}

// The bits of a monochrome device-dependent bitmap, and its row length.
struct TMaskBits {
    int rowLength = 0;
    Bytes bytes;

    // False beyond the mask, for an empty one too.
    bool IsSet(int x, int y) const
    {
        const std::size_t at = static_cast<std::size_t>(y) * rowLength + x / 8;
        return x / 8 < rowLength && at < bytes.size() && (bytes[at] & (0x80 >> (x % 8))) != 0;
    }
};

inline TMaskBits MaskBitsOf(TBitmap& mask)
{
    TMaskBits bits;
    BITMAP description{};
    if (!GetObjectA(mask.Handle(), sizeof description, &description))
        return bits;
    bits.rowLength = description.bmWidthBytes;
    bits.bytes.resize(static_cast<std::size_t>(bits.rowLength) * description.bmHeight);
    GetBitmapBits(mask.Handle(), static_cast<LONG>(bits.bytes.size()), bits.bytes.data());
    return bits;
}

// The destination state every draw must give back.
struct TCanvasColors {
    DWORD copyMode;
    COLORREF background;
    COLORREF text;

    static TCanvasColors Of(TCanvas& canvas)
    {
        return {canvas.CopyMode(), GetBkColor(canvas.Handle()), GetTextColor(canvas.Handle())};
    }
    bool operator==(const TCanvasColors&) const = default;
};

// Gives the destination a state of its own, unlike what drawing sets.
inline TCanvasColors SetUnusualColors(TCanvas& canvas)
{
    canvas.SetCopyMode(SRCINVERT);
    SetBkColor(canvas.Handle(), RGB(10, 20, 30));
    SetTextColor(canvas.Handle(), RGB(200, 100, 50));
    return TCanvasColors::Of(canvas);
}

// Runs the work on a thread other than the main one; an error it raises is
// raised again here.
inline void OnWorkerThread(const std::function<void()>& work)
{
    std::exception_ptr error;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
    });
    worker.join();
    if (error)
        std::rethrow_exception(error);
}

// The printer object's canvas drawing into a context of the test's for one
// scope, copying: no printer needs to be installed.
class TPrinterCanvasOn {
public:
    TPrinterCanvasOn(TCanvas& printerCanvas, HDC dc) : canvas_(printerCanvas)
    {
        canvas_.SetHandle(dc);
        canvas_.SetCopyMode(SRCCOPY);
    }
    ~TPrinterCanvasOn() { canvas_.SetHandle(nullptr); }
    TPrinterCanvasOn(const TPrinterCanvasOn&) = delete;
    TPrinterCanvasOn& operator=(const TPrinterCanvasOn&) = delete;

private:
    TCanvas& canvas_;
};

// Counts StretchDIBits calls; refuses those of more than one destination row
// when asked to, or every one, or fails the draw with an error.
struct TStretchDIBitsCounter {
    enum class TRefuse { None, Whole, All, Raise };
    static inline int calls = 0;
    static inline TRefuse refuse = TRefuse::None;

    static int WINAPI StretchDIBits(HDC dc, int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc, int wSrc,
                                    int hSrc, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop)
    {
        ++calls;
        if (refuse == TRefuse::Raise)
            throw std::runtime_error("the device failed");
        if (refuse == TRefuse::All || (refuse == TRefuse::Whole && hDest > 1))
            return 0;
        return ::StretchDIBits(dc, xDest, yDest, wDest, hDest, xSrc, ySrc, wSrc, hSrc, bits, info, usage, rop);
    }
};

// Installs the counter for one scope.
class TCountedStretchDIBits {
public:
    explicit TCountedStretchDIBits(TStretchDIBitsCounter::TRefuse refuse = TStretchDIBitsCounter::TRefuse::None)
    {
        TStretchDIBitsCounter::calls = 0;
        TStretchDIBitsCounter::refuse = refuse;
        SetStretchDIBitsForTests(&TStretchDIBitsCounter::StretchDIBits);
    }
    ~TCountedStretchDIBits() { SetStretchDIBitsForTests(nullptr); }
    TCountedStretchDIBits(const TCountedStretchDIBits&) = delete;
    TCountedStretchDIBits& operator=(const TCountedStretchDIBits&) = delete;

    int Calls() const { return TStretchDIBitsCounter::calls; }
};
