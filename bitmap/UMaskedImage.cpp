#include "bitmap/UMaskedImage.h"

#include <algorithm>
#include <vector>

namespace {

// A pixel's bit in its row word, set or not without a branch: the match
// table gives all ones for a match, the bit table the pixel's place.
constexpr std::uint16_t kMatchWord[2] = {0x0000, 0xFFFF};
constexpr std::uint16_t kPixelBit[16] = {0x0080, 0x0040, 0x0020, 0x0010, 0x0008, 0x0004, 0x0002, 0x0001,
                                         0x8000, 0x4000, 0x2000, 0x1000, 0x0800, 0x0400, 0x0200, 0x0100};

// Reads rows through the scan lines; matches(pixel) answers 0 or 1 for the
// pixel's first byte.
template <int BytesPerPixel, class TMatches>
void ScanRows(TBitmap& source, const TMaskRows& rows, TMatches matches)
{
    const int width = source.Width();
    const int height = source.Height();
    for (int y = 0; y < height; ++y) {
        const auto* pixel = static_cast<const std::uint8_t*>(source.ScanLine(y));
        std::uint16_t* out = rows.words + static_cast<std::ptrdiff_t>(y) * rows.wordsPerRow;
        for (int x = 0; x < width; x += 16) {
            const int count = std::min(16, width - x);
            std::uint16_t word = 0;
            for (int i = 0; i < count; ++i, pixel += BytesPerPixel)
                word |= kMatchWord[matches(pixel)] & kPixelBit[i];
            *out++ = word;
        }
    }
}

// The palette index that stands for exactly the colour: the one the palette
// itself finds nearest, only when its entry is the colour.
bool ExactPaletteIndex(HPALETTE palette, COLORREF color, std::uint8_t& index)
{
    if (!palette)
        return false;
    const UINT nearest = GetNearestPaletteIndex(palette, color);
    PALETTEENTRY entry{};
    if (nearest == CLR_INVALID || GetPaletteEntries(palette, nearest, 1, &entry) != 1)
        return false;
    if (RGB(entry.peRed, entry.peGreen, entry.peBlue) != color)
        return false;
    index = static_cast<std::uint8_t>(nearest);
    return true;
}

} // namespace

bool ScanMaskRows(TBitmap& source, COLORREF color, const TMaskRows& rows)
{
    // Blue, green and red in memory order as one number: one comparison a
    // pixel, not three.
    const int key = GetBValue(color) | GetGValue(color) << 8 | GetRValue(color) << 16;
    auto sameColor = [=](const std::uint8_t* pixel) {
        return static_cast<unsigned>((pixel[0] | pixel[1] << 8 | pixel[2] << 16) == key);
    };
    switch (source.PixelFormat()) {
    case TPixelFormat::Bit8: {
        std::uint8_t index = 0;
        // Without an exact entry no pixel has the colour.
        if (ExactPaletteIndex(source.Palette(), color, index))
            ScanRows<1>(source, rows, [=](const std::uint8_t* pixel) { return static_cast<int>(*pixel == index); });
        return true;
    }
    case TPixelFormat::Bit24: ScanRows<3>(source, rows, sameColor); return true;
    case TPixelFormat::Bit32: ScanRows<4>(source, rows, sameColor); return true;
    default: return false;
    }
}

void ProbeMaskRows(TBitmap& source, COLORREF color, const TMaskRows& rows)
{
    TCanvas& canvas = source.Canvas();
    const int width = source.Width();
    const int height = source.Height();
    for (int y = 0; y < height; ++y) {
        std::uint16_t* out = rows.words + static_cast<std::ptrdiff_t>(y) * rows.wordsPerRow;
        for (int x = 0; x < width; ++x) {
            if (canvas.Pixel(x, y) == color)
                out[x / 16] |= kPixelBit[x % 16];
        }
    }
}

TMaskedImage& TMaskedImage::Assign(const TMaskedImage& other)
{
    maskDirty_ = other.maskDirty_;
    imageDirty_ = other.imageDirty_;
    return *this;
}

void TMaskedImage::Invalidate()
{
    maskDirty_ = true;
    imageDirty_ = true;
}

void TMaskedImage::MakeMonoMask(TBitmap& source, TBitmap& mask, TColor color)
{
    mask.SetHandle(nullptr);
    mask.SetMonochrome(true);
    mask.SetSize(source.Width(), source.Height());
    const COLORREF key = color & 0xFFFFFF;
    const HBITMAP handle = mask.Handle();
    BITMAP description{};
    if (!handle || GetObjectA(handle, sizeof description, &description) != sizeof description)
        return;
    // Rows of a device-dependent bitmap are whole 16-bit words.
    const int wordsPerRow = description.bmWidthBytes / 2;
    std::vector<std::uint16_t> words(static_cast<std::size_t>(wordsPerRow) * description.bmHeight);
    const TMaskRows rows{words.data(), wordsPerRow};
    if (!ScanMaskRows(source, key, rows))
        ProbeMaskRows(source, key, rows);
    SetBitmapBits(handle, static_cast<DWORD>(words.size() * sizeof(std::uint16_t)), words.data());
}

void TMaskedImage::StartPreparedImage(TBitmap& source, TBitmap& temporary, TPixelFormat format)
{
    temporary.Assign(source);
    temporary.SetTransparent(false);
    temporary.SetPixelFormat(format);
    // A source already in the format is still shared: asking for the handle
    // gives the temporary its own copy, so drawing into it leaves the source
    // alone.
    temporary.Handle();
    TCanvas& canvas = temporary.Canvas();
    canvas.SetCopyMode(SRCPAINT);
    SetStretchBltMode(canvas.Handle(), COLORONCOLOR);
}

TMaskedImageNT::TMaskedImageNT()
{
    mask_.SetMonochrome(true);
}

TMaskedImage& TMaskedImageNT::Assign(const TMaskedImage& other)
{
    const auto* same = dynamic_cast<const TMaskedImageNT*>(&other);
    if (!same) {
        Invalidate();
        return *this;
    }
    mask_.Assign(same->mask_);
    image_.Assign(same->image_);
    return TMaskedImage::Assign(other);
}

void TMaskedImageNT::BuildMask(TBitmap& bitmap, TColor color)
{
    if (!maskDirty_)
        return;
    TBitmap temporary;
    MakeMonoMask(bitmap, temporary, color);
    mask_.Assign(temporary);
    maskDirty_ = false;
}

void TMaskedImageNT::Prepare(TBitmap& bitmap, TColor color)
{
    BuildMask(bitmap, color);
    if (!imageDirty_)
        return;
    TBitmap temporary;
    // 32 bits, the format of the screens and back buffers it is drawn
    // onto: its SRCAND at every draw is then a plain pass, where 24 bits
    // would be converted each time.
    StartPreparedImage(bitmap, temporary, TPixelFormat::Bit32);
    temporary.Canvas().StretchDraw(RECT{0, 0, temporary.Width(), temporary.Height()}, mask_);
    image_.Assign(temporary);
    imageDirty_ = false;
}

void TMaskedImageNT::Draw(TCanvas& canvas, const RECT& rect, const RECT& source)
{
    SetStretchBltMode(canvas.Handle(), COLORONCOLOR);
    canvas.SetCopyMode(MERGEPAINT);
    canvas.StretchDraw(rect, mask_, source);
    canvas.SetCopyMode(SRCAND);
    canvas.StretchDraw(rect, image_, source);
}

void TMaskedImageNT::SetMask(TBitmap& bitmap)
{
    mask_.Assign(bitmap);
    maskDirty_ = false;
    imageDirty_ = true;
}

void TMaskedImageNT::AssignMaskTo(TBitmap& bitmap)
{
    bitmap.Assign(mask_);
}

namespace {

// An empty bitmap has no handle to export: it leaves the DIB empty.
void TakeBitmap(std::unique_ptr<TDIB>& dib, TBitmap& bitmap)
{
    auto taken = std::make_unique<TDIB>();
    if (!bitmap.Empty())
        taken->AssignFromBitmap(bitmap);
    dib = std::move(taken);
}

} // namespace

TMaskedImage9x::TMaskedImage9x() : mask_(std::make_unique<TDIB>()), image_(std::make_unique<TDIB>()) {}

TMaskedImage& TMaskedImage9x::Assign(const TMaskedImage& other)
{
    const auto* same = dynamic_cast<const TMaskedImage9x*>(&other);
    if (!same) {
        Invalidate();
        return *this;
    }
    mask_->AssignFromDIB(*same->mask_);
    image_->AssignFromDIB(*same->image_);
    return TMaskedImage::Assign(other);
}

void TMaskedImage9x::BuildMask(TBitmap& bitmap, TColor color)
{
    if (!maskDirty_)
        return;
    TBitmap temporary;
    MakeMonoMask(bitmap, temporary, color);
    TakeBitmap(mask_, temporary);
    maskDirty_ = false;
}

void TMaskedImage9x::Prepare(TBitmap& bitmap, TColor color)
{
    BuildMask(bitmap, color);
    if (!imageDirty_)
        return;
    TBitmap temporary;
    // 24 bits, which the printer drivers of that family all take.
    StartPreparedImage(bitmap, temporary, TPixelFormat::Bit24);
    const RECT whole{0, 0, mask_->Width(), mask_->Height()};
    mask_->Draw(temporary.Canvas(), whole, whole);
    TakeBitmap(image_, temporary);
    imageDirty_ = false;
}

void TMaskedImage9x::Draw(TCanvas& canvas, const RECT& rect, const RECT& source)
{
    SetStretchBltMode(canvas.Handle(), COLORONCOLOR);
    canvas.SetCopyMode(MERGEPAINT);
    mask_->Draw(canvas, rect, source);
    canvas.SetCopyMode(SRCAND);
    image_->Draw(canvas, rect, source);
}

void TMaskedImage9x::SetMask(TBitmap& bitmap)
{
    TakeBitmap(mask_, bitmap);
    maskDirty_ = false;
    imageDirty_ = true;
}

void TMaskedImage9x::AssignMaskTo(TBitmap& bitmap)
{
    mask_->AssignTo(bitmap);
}
