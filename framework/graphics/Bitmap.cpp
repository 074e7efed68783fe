#include "framework/graphics/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "framework/graphics/BitmapFile.h"
#include "framework/graphics/BitmapSupport.h"
#include "framework/graphics/DecodeLimit.h"
#include "framework/runtime/Handles.h"
#include "framework/runtime/Streams.h"

namespace {

// Keeps the colours, stretch mode and palette a drawing changes on a
// destination, and puts them back.
class TDestinationState {
public:
    explicit TDestinationState(HDC dc)
        : dc_(dc), textColor_(GetTextColor(dc)), backColor_(GetBkColor(dc)), stretchMode_(GetStretchBltMode(dc))
    {
    }
    ~TDestinationState()
    {
        palette_.reset();
        SetStretchBltMode(dc_, stretchMode_);
        SetBkColor(dc_, backColor_);
        SetTextColor(dc_, textColor_);
    }
    TDestinationState(const TDestinationState&) = delete;
    TDestinationState& operator=(const TDestinationState&) = delete;

    // Palette devices show the picture in its own colours.
    void RealizePalette(HPALETTE palette)
    {
        if (!palette || !(GetDeviceCaps(dc_, RASTERCAPS) & RC_PALETTE))
            return;
        palette_.emplace(dc_, palette, true);
        ::RealizePalette(dc_);
    }

private:
    HDC dc_;
    COLORREF textColor_;
    COLORREF backColor_;
    int stretchMode_;
    std::optional<TSelectedPalette> palette_;
};

constexpr RGBQUAD kBlack{0, 0, 0, 0};
constexpr RGBQUAD kWhite{255, 255, 255, 0};
constexpr DWORD kMasks565[] = {0xF800, 0x07E0, 0x001F};
constexpr DWORD kMasks555[] = {0x7C00, 0x03E0, 0x001F};
constexpr DWORD kMasks888[] = {0xFF0000, 0x00FF00, 0x0000FF};

int BitCountOf(TPixelFormat format)
{
    switch (format) {
    case TPixelFormat::Bit1: return 1;
    case TPixelFormat::Bit4: return 4;
    case TPixelFormat::Bit8: return 8;
    case TPixelFormat::Bit15:
    case TPixelFormat::Bit16: return 16;
    case TPixelFormat::Bit24: return 24;
    default: return 32;
    }
}

TPixelFormat FormatOf(int bitCount, DWORD compression, const DWORD* masks)
{
    const bool fields = compression == BI_BITFIELDS;
    auto masksAre = [masks](const DWORD* expected) { return std::equal(expected, expected + 3, masks); };
    switch (bitCount) {
    case 1: return TPixelFormat::Bit1;
    case 4: return TPixelFormat::Bit4;
    case 8: return TPixelFormat::Bit8;
    case 16:
        if (!fields || masksAre(kMasks555))
            return TPixelFormat::Bit15;
        return masksAre(kMasks565) ? TPixelFormat::Bit16 : TPixelFormat::Custom;
    case 24: return TPixelFormat::Bit24;
    case 32: return !fields || masksAre(kMasks888) ? TPixelFormat::Bit32 : TPixelFormat::Custom;
    default: return TPixelFormat::Custom;
    }
}

TPixelFormat ScreenFormat()
{
    const TWindowDC screen;
    const int bits = GetDeviceCaps(screen.Handle(), BITSPIXEL) * GetDeviceCaps(screen.Handle(), PLANES);
    if (bits <= 1)
        return TPixelFormat::Bit1;
    if (bits <= 4)
        return TPixelFormat::Bit4;
    if (bits <= 8)
        return TPixelFormat::Bit8;
    if (bits == 15)
        return TPixelFormat::Bit15;
    if (bits == 16)
        return TPixelFormat::Bit16;
    return bits == 24 ? TPixelFormat::Bit24 : TPixelFormat::Bit32;
}

bool IsBlackAndWhite(const std::vector<RGBQUAD>& colors)
{
    auto same = [](const RGBQUAD& a, const RGBQUAD& b) {
        return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
    };
    return colors.size() == 2 && same(colors[0], kBlack) && same(colors[1], kWhite);
}

// The sixteen colours of the standard display palette.
std::vector<RGBQUAD> StandardColors16()
{
    static constexpr COLORREF kColors[16] = {
        RGB(0, 0, 0),     RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(128, 128, 0), RGB(0, 0, 128),   RGB(128, 0, 128),
        RGB(0, 128, 128), RGB(192, 192, 192), RGB(128, 128, 128), RGB(255, 0, 0), RGB(0, 255, 0),   RGB(255, 255, 0),
        RGB(0, 0, 255),   RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255)};
    std::vector<RGBQUAD> colors;
    for (COLORREF color : kColors)
        colors.push_back(RGBQUAD{GetBValue(color), GetGValue(color), GetRValue(color), 0});
    return colors;
}

std::vector<RGBQUAD> DefaultColors(int bitCount)
{
    switch (bitCount) {
    case 1: return {kBlack, kWhite};
    case 4: return StandardColors16();
    default: {
        const TWindowDC screen;
        const TGdiObject<HPALETTE> halftone(CreateHalftonePalette(screen.Handle()));
        return PaletteColors(halftone.Get(), 256);
    }
    }
}

std::size_t SectionSize(const BITMAPINFOHEADER& header)
{
    return static_cast<std::size_t>(TDibImage::StrideOf(header.biWidth, header.biBitCount)) *
           static_cast<std::size_t>(std::abs(header.biHeight));
}

} // namespace

// The picture shared by bitmaps that were assigned from one another: the
// handle, its palette and a description of both. A bitmap that is about to
// change it while others share it makes itself a copy first.
class TBitmapImage {
public:
    TBitmapImage() = default;
    ~TBitmapImage();
    TBitmapImage(const TBitmapImage&) = delete;
    TBitmapImage& operator=(const TBitmapImage&) = delete;

    // A bitmap can be selected into one context at a time: the canvas that
    // holds this image lets go of it.
    void ReleaseSelection();
    // Takes ownership of the handle and describes it.
    void Adopt(HBITMAP bitmap);
    std::vector<RGBQUAD> ColorTable();
    // The section's header with its colour table or masks.
    TDibHeader SectionHeader();

    int width = 0;
    int height = 0;
    TPixelFormat format = TPixelFormat::Device;
    TBitmapHandleType type = TBitmapHandleType::DDB;
    bool monochrome = false;
    TGdiObject<HBITMAP> handle;
    TGdiObject<HPALETTE> palette;
    DIBSECTION section{};
    TBitmapCanvas* selectedIn = nullptr;
};

// The canvas of a bitmap: a memory context with the bitmap's image and
// palette selected, made on demand and given up whenever the image goes.
class TBitmapCanvas : public TCanvas {
public:
    explicit TBitmapCanvas(TBitmap& bitmap) : bitmap_(bitmap) {}
    ~TBitmapCanvas() override { FreeContext(); }

    void FreeContext();
    HDC Context() const { return context_ ? context_->Handle() : nullptr; }

protected:
    void CreateHandle() override;
    void Changing() override
    {
        bitmap_.Unshare();
        TCanvas::Changing();
    }
    void Changed() override
    {
        TCanvas::Changed();
        bitmap_.Changed(&bitmap_);
    }

private:
    TBitmap& bitmap_;
    TBitmapImage* selected_ = nullptr;
    std::optional<TSelectedBitmap> context_;
};

namespace {

// A context in which an image is selected for reading: the context of the
// canvas that holds it, with plain pixel mapping for the scope, or a new one.
// Reading an image that a canvas holds (to copy it for another bitmap that
// shares it) so leaves that canvas as it was, mapping included.
class TImageContext {
public:
    explicit TImageContext(const TBitmapImage& image)
    {
        if (image.selectedIn) {
            dc_ = image.selectedIn->Context();
            saved_.emplace(dc_);
            SetMapMode(dc_, MM_TEXT);
            SetViewportOrgEx(dc_, 0, 0, nullptr);
            SetWindowOrgEx(dc_, 0, 0, nullptr);
        } else {
            own_.emplace(image.handle.Get(), image.palette.Get());
            dc_ = own_->Handle();
        }
    }

    HDC Handle() const { return dc_; }

private:
    HDC dc_ = nullptr;
    std::optional<TSavedDCState> saved_;
    std::optional<TSelectedBitmap> own_;
};

} // namespace

TBitmapImage::~TBitmapImage()
{
    ReleaseSelection();
}

void TBitmapImage::ReleaseSelection()
{
    if (selectedIn)
        selectedIn->FreeContext();
}

void TBitmapImage::Adopt(HBITMAP bitmap)
{
    handle.Reset(bitmap);
    DIBSECTION description{};
    const int size = GetObjectA(bitmap, sizeof description, &description);
    if (size == sizeof description && description.dsBm.bmBits) {
        section = description;
        type = TBitmapHandleType::DIB;
        width = description.dsBmih.biWidth;
        height = std::abs(description.dsBmih.biHeight);
        format = FormatOf(description.dsBmih.biBitCount, description.dsBmih.biCompression, description.dsBitfields);
        const std::vector<RGBQUAD> colors = ColorTable();
        monochrome = description.dsBmih.biBitCount == 1 && IsBlackAndWhite(colors);
        palette.Reset(PaletteFromColors(colors));
    } else if (size >= static_cast<int>(sizeof(BITMAP))) {
        type = TBitmapHandleType::DDB;
        width = description.dsBm.bmWidth;
        height = description.dsBm.bmHeight;
        format = TPixelFormat::Device;
        monochrome = description.dsBm.bmBitsPixel * description.dsBm.bmPlanes == 1;
    } else {
        throw EInvalidGraphic(kInvalidBitmapMessage);
    }
}

std::vector<RGBQUAD> TBitmapImage::ColorTable()
{
    if (type != TBitmapHandleType::DIB || !handle || section.dsBmih.biBitCount > 8)
        return {};
    const TImageContext selected(*this);
    RGBQUAD table[256];
    const UINT count = GetDIBColorTable(selected.Handle(), 0, 1u << section.dsBmih.biBitCount, table);
    return std::vector<RGBQUAD>(table, table + count);
}

TDibHeader TBitmapImage::SectionHeader()
{
    TDibHeader header;
    header.header = section.dsBmih;
    header.header.biSize = sizeof(BITMAPINFOHEADER);
    if (header.header.biCompression == BI_BITFIELDS) {
        std::memcpy(header.colors, section.dsBitfields, sizeof section.dsBitfields);
    } else {
        const std::vector<RGBQUAD> colors = ColorTable();
        std::copy(colors.begin(), colors.end(), header.colors);
        header.header.biClrUsed = static_cast<DWORD>(colors.size());
    }
    return header;
}

void TBitmapCanvas::CreateHandle()
{
    TBitmapImage& image = *bitmap_.image_;
    image.ReleaseSelection();
    context_.emplace(image.handle.Get(), image.palette.Get());
    selected_ = &image;
    image.selectedIn = this;
    SetHandle(context_->Handle());
}

void TBitmapCanvas::FreeContext()
{
    TCanvasLock lock(*this);
    if (!context_)
        return;
    SetHandle(nullptr);
    context_.reset();
    selected_->selectedIn = nullptr;
    selected_ = nullptr;
}

namespace {

std::shared_ptr<TBitmapImage> AdoptedImage(HBITMAP handle)
{
    auto image = std::make_shared<TBitmapImage>();
    if (handle)
        image->Adopt(handle);
    return image;
}

HBITMAP CreateSection(TDibHeader& header, void** bits)
{
    HBITMAP handle = CreateDIBSection(nullptr, header.Info(), DIB_RGB_COLORS, bits, nullptr, 0);
    if (!handle)
        throw EOutOfResources();
    return handle;
}

std::shared_ptr<TBitmapImage> ImageFromDib(const TDibImage& dib)
{
    TDibHeader header;
    header.header.biSize = sizeof(BITMAPINFOHEADER);
    header.header.biWidth = dib.width;
    header.header.biHeight = dib.height;
    header.header.biPlanes = 1;
    header.header.biBitCount = static_cast<WORD>(dib.bitCount);
    header.header.biCompression = dib.bitFields ? BI_BITFIELDS : BI_RGB;
    if (dib.bitFields) {
        std::memcpy(header.colors, dib.masks.data(), sizeof dib.masks);
    } else {
        std::copy(dib.colors.begin(), dib.colors.end(), header.colors);
        header.header.biClrUsed = static_cast<DWORD>(dib.colors.size());
    }
    void* bits = nullptr;
    auto image = AdoptedImage(CreateSection(header, &bits));
    std::memcpy(bits, dib.bits.data(), dib.bits.size());
    return image;
}

// A white image of the given shape; the palette is copied. Without area it
// holds only the shape, for the size that comes later.
std::shared_ptr<TBitmapImage> BlankImage(int width, int height, TPixelFormat format, TBitmapHandleType type,
                                         bool monochrome, HPALETTE palette)
{
    std::shared_ptr<TBitmapImage> image;
    if (width <= 0 || height <= 0) {
        image = std::make_shared<TBitmapImage>();
        image->width = std::max(width, 0);
        image->height = std::max(height, 0);
        image->format = type == TBitmapHandleType::DDB ? TPixelFormat::Device : format;
        image->type = type;
        image->monochrome = monochrome;
        image->palette.Reset(CopyPalette(palette));
        return image;
    }
    if (type == TBitmapHandleType::DDB) {
        HBITMAP handle;
        if (monochrome) {
            handle = CreateBitmap(width, height, 1, 1, nullptr);
        } else {
            const TWindowDC screen;
            handle = CreateCompatibleBitmap(screen.Handle(), width, height);
        }
        if (!handle)
            throw EOutOfResources();
        image = AdoptedImage(handle);
    } else {
        if (format == TPixelFormat::Custom || format == TPixelFormat::Device)
            format = TPixelFormat::Bit32;
        const int bitCount = monochrome ? 1 : BitCountOf(format);
        TDibHeader header;
        header.header.biSize = sizeof(BITMAPINFOHEADER);
        header.header.biWidth = width;
        header.header.biHeight = height;
        header.header.biPlanes = 1;
        header.header.biBitCount = static_cast<WORD>(bitCount);
        header.header.biCompression = format == TPixelFormat::Bit16 ? BI_BITFIELDS : BI_RGB;
        if (format == TPixelFormat::Bit16) {
            std::memcpy(header.colors, kMasks565, sizeof kMasks565);
        } else if (bitCount <= 8) {
            std::vector<RGBQUAD> colors = monochrome ? DefaultColors(1)
                                          : palette   ? PaletteColors(palette, 1 << bitCount)
                                                      : DefaultColors(bitCount);
            if (colors.empty())
                colors = DefaultColors(bitCount);
            std::copy(colors.begin(), colors.end(), header.colors);
            header.header.biClrUsed = static_cast<DWORD>(colors.size());
        }
        void* bits = nullptr;
        image = AdoptedImage(CreateSection(header, &bits));
    }
    if (!image->palette)
        image->palette.Reset(CopyPalette(palette));
    TSelectedBitmap selected(image->handle.Get());
    PatBlt(selected.Handle(), 0, 0, width, height, WHITENESS);
    return image;
}

// A copy of the top-left part of an image in another shape.
std::shared_ptr<TBitmapImage> ConvertedImage(TBitmapImage& source, int width, int height, TPixelFormat format,
                                             TBitmapHandleType type, bool monochrome)
{
    auto image = BlankImage(width, height, format, type, monochrome, source.palette.Get());
    if (image->handle && source.handle) {
        const TImageContext from(source);
        TSelectedBitmap to(image->handle.Get(), image->palette.Get());
        BitBlt(to.Handle(), 0, 0, std::min(width, source.width), std::min(height, source.height), from.Handle(), 0,
               0, SRCCOPY);
    }
    return image;
}

// An exact copy: sections copy their bits, so no colour goes through a
// palette lookup.
std::shared_ptr<TBitmapImage> CopiedImage(TBitmapImage& source)
{
    if (source.type != TBitmapHandleType::DIB || !source.handle)
        return ConvertedImage(source, source.width, source.height, source.format, source.type, source.monochrome);
    TDibHeader header = source.SectionHeader();
    void* bits = nullptr;
    auto image = AdoptedImage(CreateSection(header, &bits));
    GdiFlush();
    std::memcpy(bits, source.section.dsBm.bmBits, SectionSize(source.section.dsBmih));
    if (source.palette)
        image->palette.Reset(CopyPalette(source.palette.Get()));
    return image;
}

// A one-bit mask, set where the source shows the colour.
HBITMAP MakeTransparencyMask(HDC source, int width, int height, COLORREF color)
{
    TDibHeader rgbHeader;
    rgbHeader.header = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* rgbBits = nullptr;
    TGdiObject<HBITMAP> rgb(CreateSection(rgbHeader, &rgbBits));
    {
        TSelectedBitmap copy(rgb.Get());
        BitBlt(copy.Handle(), 0, 0, width, height, source, 0, 0, SRCCOPY);
    }
    GdiFlush();

    TDibHeader maskHeader;
    maskHeader.header = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 1, BI_RGB, 0, 0, 0, 2, 0};
    maskHeader.colors[0] = kBlack;
    maskHeader.colors[1] = kWhite;
    void* maskBits = nullptr;
    HBITMAP mask = CreateSection(maskHeader, &maskBits);

    const DWORD key = (DWORD(GetRValue(color)) << 16) | (DWORD(GetGValue(color)) << 8) | GetBValue(color);
    const int maskStride = TDibImage::StrideOf(width, 1);
    const auto* pixels = static_cast<const DWORD*>(rgbBits);
    auto* bytes = static_cast<std::uint8_t*>(maskBits);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if ((pixels[y * width + x] & 0xFFFFFF) == key)
                bytes[y * maskStride + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
    }
    return mask;
}

} // namespace

TBitmap::TBitmap() : image_(std::make_shared<TBitmapImage>()) {}

TBitmap::~TBitmap() = default;

TBitmapCanvas& TBitmap::OwnCanvas() const
{
    if (!canvas_)
        canvas_ = std::make_unique<TBitmapCanvas>(const_cast<TBitmap&>(*this));
    return *canvas_;
}

TCanvas& TBitmap::Canvas()
{
    return OwnCanvas();
}

void TBitmap::ReplaceImage(std::shared_ptr<TBitmapImage> image)
{
    if (canvas_)
        canvas_->FreeContext();
    image_ = std::move(image);
}

void TBitmap::Unshare()
{
    if (image_.use_count() > 1)
        ReplaceImage(CopiedImage(*image_));
}

void TBitmap::Convert(int width, int height, TPixelFormat format, TBitmapHandleType type, bool monochrome)
{
    ReplaceImage(ConvertedImage(*image_, width, height, format, type, monochrome));
    Changed(this);
}

void TBitmap::Assign(const TPersistent& source)
{
    if (const auto* bitmap = dynamic_cast<const TBitmap*>(&source)) {
        if (bitmap == this)
            return;
        ReplaceImage(bitmap->image_);
        transparent_ = bitmap->transparent_;
        transparentColor_ = bitmap->transparentColor_;
        Changed(this);
        return;
    }
    if (const auto* graphic = dynamic_cast<const TGraphic*>(&source); graphic && graphic->AssignTo(*this))
        return;
    TGraphic::Assign(source);
}

bool TBitmap::Equals(const TGraphic& other) const
{
    if (const auto* bitmap = dynamic_cast<const TBitmap*>(&other); bitmap && bitmap->image_ == image_)
        return true;
    return TGraphic::Equals(other);
}

bool TBitmap::Empty() const
{
    return image_->width == 0 || image_->height == 0;
}

int TBitmap::Width() const
{
    return image_->width;
}

int TBitmap::Height() const
{
    return image_->height;
}

void TBitmap::SetWidth(int width)
{
    SetSize(width, Height());
}

void TBitmap::SetHeight(int height)
{
    SetSize(Width(), height);
}

void TBitmap::SetSize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == Width() && height == Height())
        return;
    Convert(width, height, image_->format, image_->type, image_->monochrome);
}

void TBitmap::Draw(TCanvas& canvas, const RECT& rect)
{
    DrawPart(canvas, rect, RECT{0, 0, Width(), Height()});
}

void TBitmap::DrawPart(TCanvas& canvas, const RECT& rect, const RECT& part)
{
    if (Empty())
        return;
    const HDC destination = canvas.Handle();
    TBitmapCanvas& own = OwnCanvas();
    TCanvasLock lock(own);
    const HDC source = own.Handle();
    TDestinationState state(destination);
    state.RealizePalette(image_->palette.Get());
    // A monochrome source shows its set bits white and clear bits black.
    SetTextColor(destination, RGB(0, 0, 0));
    SetBkColor(destination, RGB(255, 255, 255));
    SetStretchBltMode(destination, COLORONCOLOR);

    const int x = rect.left;
    const int y = rect.top;
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    const int sx = part.left;
    const int sy = part.top;
    const int sw = part.right - part.left;
    const int sh = part.bottom - part.top;
    if (!transparent_) {
        StretchBlt(destination, x, y, w, h, source, sx, sy, sw, sh, canvas.CopyMode());
        return;
    }
    // Where the mask is set the two inversions cancel and the background
    // stays; elsewhere the AND clears the background and the second
    // inversion leaves the picture.
    TGdiObject<HBITMAP> mask(MakeTransparencyMask(source, Width(), Height(), TransparentColor() & 0xFFFFFF));
    TSelectedBitmap maskContext(mask.Get());
    StretchBlt(destination, x, y, w, h, source, sx, sy, sw, sh, SRCINVERT);
    StretchBlt(destination, x, y, w, h, maskContext.Handle(), sx, sy, sw, sh, SRCAND);
    StretchBlt(destination, x, y, w, h, source, sx, sy, sw, sh, SRCINVERT);
}

HBITMAP TBitmap::Handle()
{
    Unshare();
    image_->ReleaseSelection();
    return image_->handle.Get();
}

bool TBitmap::HandleAllocated() const
{
    return static_cast<bool>(image_->handle);
}

void TBitmap::SetHandle(HBITMAP handle)
{
    if (handle && handle == image_->handle.Get())
        return;
    ReplaceImage(AdoptedImage(handle));
    Changed(this);
}

HBITMAP TBitmap::ReleaseHandle()
{
    Unshare();
    image_->ReleaseSelection();
    HBITMAP handle = image_->handle.Release();
    ReplaceImage(std::make_shared<TBitmapImage>());
    Changed(this);
    return handle;
}

TBitmapHandleType TBitmap::HandleType() const
{
    return image_->type;
}

void TBitmap::SetHandleType(TBitmapHandleType type)
{
    if (type == image_->type)
        return;
    if (type == TBitmapHandleType::DDB)
        Convert(Width(), Height(), TPixelFormat::Device, type, image_->monochrome);
    else
        Convert(Width(), Height(), image_->monochrome ? TPixelFormat::Bit1 : ScreenFormat(), type, image_->monochrome);
}

TPixelFormat TBitmap::PixelFormat() const
{
    return image_->type == TBitmapHandleType::DDB ? TPixelFormat::Device : image_->format;
}

void TBitmap::SetPixelFormat(TPixelFormat format)
{
    if (format == PixelFormat())
        return;
    if (format == TPixelFormat::Custom)
        throw EInvalidGraphic("この画素形式は設定できません");
    if (format == TPixelFormat::Device)
        Convert(Width(), Height(), format, TBitmapHandleType::DDB, false);
    else
        Convert(Width(), Height(), format, TBitmapHandleType::DIB, false);
}

bool TBitmap::Monochrome() const
{
    return image_->monochrome;
}

void TBitmap::SetMonochrome(bool monochrome)
{
    if (monochrome == Monochrome())
        return;
    if (image_->type == TBitmapHandleType::DDB)
        Convert(Width(), Height(), TPixelFormat::Device, image_->type, monochrome);
    else
        Convert(Width(), Height(), monochrome ? TPixelFormat::Bit1 : TPixelFormat::Bit24, image_->type, monochrome);
}

HPALETTE TBitmap::Palette() const
{
    return image_->palette.Get();
}

void TBitmap::SetPalette(HPALETTE palette)
{
    if (palette == image_->palette.Get())
        return;
    Unshare();
    TBitmapImage& image = *image_;
    image.ReleaseSelection();
    image.palette.Reset(palette);
    const int bitCount = image.section.dsBmih.biBitCount;
    if (palette && image.type == TBitmapHandleType::DIB && image.handle && bitCount <= 8) {
        const std::vector<RGBQUAD> colors = PaletteColors(palette, 1 << bitCount);
        TSelectedBitmap selected(image.handle.Get());
        SetDIBColorTable(selected.Handle(), 0, static_cast<UINT>(colors.size()), colors.data());
        image.monochrome = bitCount == 1 && IsBlackAndWhite(colors);
    }
    Changed(this);
}

TTransparentMode TBitmap::TransparentMode() const
{
    return transparentColor_ == clDefault ? TTransparentMode::Auto : TTransparentMode::Fixed;
}

void TBitmap::SetTransparentMode(TTransparentMode mode)
{
    if (mode == TransparentMode())
        return;
    if (mode == TTransparentMode::Auto)
        SetTransparentColor(clDefault);
    else
        SetTransparentColor(TransparentColor() & 0xFFFFFF);
}

TColor TBitmap::TransparentColor() const
{
    if (transparentColor_ != clDefault)
        return (ColorToRGB(transparentColor_) & 0xFFFFFF) | kTransparentColorFlag;
    if (Empty() || Monochrome())
        return clWhite | kTransparentColorFlag;
    return (OwnCanvas().Pixel(0, Height() - 1) & 0xFFFFFF) | kTransparentColorFlag;
}

void TBitmap::SetTransparentColor(TColor color)
{
    if (color == transparentColor_)
        return;
    transparentColor_ = color;
    Changed(this);
}

void* TBitmap::ScanLine(int row)
{
    Unshare();
    if (image_->type != TBitmapHandleType::DIB)
        SetHandleType(TBitmapHandleType::DIB);
    if (!image_->handle || row < 0 || row >= Height())
        throw EInvalidGraphic("走査線の番号が範囲外です");
    GdiFlush();
    const BITMAPINFOHEADER& header = image_->section.dsBmih;
    const int line = header.biHeight > 0 ? Height() - 1 - row : row;
    return static_cast<std::uint8_t*>(image_->section.dsBm.bmBits) +
           static_cast<std::size_t>(line) * TDibImage::StrideOf(header.biWidth, header.biBitCount);
}

void TBitmap::LoadFromStream(TStream& stream)
{
    ReplaceImage(ImageFromDib(ReadBitmapFile(stream)));
    Changed(this);
}

void TBitmap::SaveToStream(TStream& stream) const
{
    TBitmapImage& image = *image_;
    if (!image.handle)
        return;
    TDibImage dib;
    dib.width = image.width;
    dib.height = image.height;
    if (image.type == TBitmapHandleType::DIB) {
        const BITMAPINFOHEADER& header = image.section.dsBmih;
        dib.bitCount = header.biBitCount;
        dib.bitFields = header.biCompression == BI_BITFIELDS;
        std::copy(std::begin(image.section.dsBitfields), std::end(image.section.dsBitfields), dib.masks.begin());
        dib.colors = image.ColorTable();
        const std::size_t stride = static_cast<std::size_t>(dib.Stride());
        dib.bits.resize(stride * dib.height);
        GdiFlush();
        const auto* bits = static_cast<const std::uint8_t*>(image.section.dsBm.bmBits);
        for (int row = 0; row < dib.height; ++row) {
            const int from = header.biHeight > 0 ? row : dib.height - 1 - row;
            std::memcpy(&dib.bits[row * stride], bits + from * stride, stride);
        }
    } else {
        // Device-dependent pixels leave in a device-independent form.
        dib.bitCount = image.monochrome ? 1 : 24;
        TDibHeader header;
        header.header = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), dib.width, dib.height, 1,
                                         static_cast<WORD>(dib.bitCount), BI_RGB, 0, 0, 0, 0, 0};
        dib.bits.resize(static_cast<std::size_t>(dib.Stride()) * dib.height);
        image.ReleaseSelection();
        const TWindowDC screen;
        if (!GetDIBits(screen.Handle(), image.handle.Get(), 0, static_cast<UINT>(dib.height), dib.bits.data(),
                       header.Info(), DIB_RGB_COLORS))
            throw EOutOfResources();
        if (image.monochrome)
            dib.colors.assign(header.colors, header.colors + 2);
    }
    WriteBitmapFile(stream, dib);
}

void TBitmap::LoadFromPackedDib(const void* dib, std::size_t size)
{
    // No bitmap within the decode limit comes near this size; the stream
    // below could not hold it.
    if (size > 0x7FFFFFFF - sizeof(BITMAPFILEHEADER))
        throw EInvalidGraphic(kInvalidBitmapMessage);
    // The reader finds the pixels after the colour table by itself, so the
    // file header needs no more than its signature.
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    TMemoryStream stream;
    stream.WriteBuffer(&file, sizeof file);
    stream.WriteBuffer(dib, static_cast<std::int32_t>(size));
    stream.SetPosition(0);
    LoadFromStream(stream);
}

void TBitmap::LoadFromResourceName(HINSTANCE instance, const std::string& name)
{
    TResourceStream resource(instance, name.c_str(), RT_BITMAP);
    LoadFromPackedDib(resource.Memory(), static_cast<std::size_t>(resource.Size()));
}

void TBitmap::LoadFromResourceID(HINSTANCE instance, int id)
{
    TResourceStream resource(instance, MAKEINTRESOURCEA(id), RT_BITMAP);
    LoadFromPackedDib(resource.Memory(), static_cast<std::size_t>(resource.Size()));
}

void TBitmap::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette)
{
    if (format == CF_DIB) {
        const TGlobalLock block(data);
        if (!block.Data())
            throw EInvalidGraphic(kInvalidBitmapMessage);
        LoadFromPackedDib(block.Data(), block.Size());
        return;
    }
    if (format == CF_BITMAP) {
        // Descriptions of other kinds of objects (a font's, say) would be
        // read as a bitmap's.
        BITMAP description{};
        auto* bitmap = static_cast<HBITMAP>(data);
        if (GetObjectType(bitmap) != OBJ_BITMAP ||
            GetObjectA(bitmap, sizeof description, &description) < static_cast<int>(sizeof description))
            throw EInvalidGraphic(kInvalidBitmapMessage);
        if (description.bmWidth > 0 && description.bmHeight > 0 &&
            !WithinDecodeLimit(description.bmWidth, description.bmHeight, 32))
            throw EInvalidGraphic(PictureTooLargeMessage(description.bmWidth, description.bmHeight));
        auto image = BlankImage(description.bmWidth, description.bmHeight, TPixelFormat::Device,
                                TBitmapHandleType::DDB, description.bmBitsPixel * description.bmPlanes == 1, palette);
        if (image->handle) {
            TSelectedBitmap from(bitmap, palette);
            TSelectedBitmap to(image->handle.Get(), image->palette.Get());
            BitBlt(to.Handle(), 0, 0, description.bmWidth, description.bmHeight, from.Handle(), 0, 0, SRCCOPY);
        }
        ReplaceImage(std::move(image));
        Changed(this);
        return;
    }
    TGraphic::LoadFromClipboardFormat(format, data, palette);
}

void TBitmap::ReadData(TStream& stream)
{
    DWORD size = 0;
    stream.ReadBuffer(&size, sizeof size);
    if (size == 0) {
        SetHandle(nullptr);
        return;
    }
    if (size > stream.Size() - stream.Position())
        throw EReadError();
    TMemoryStream data;
    data.CopyFrom(stream, size);
    data.SetPosition(0);
    LoadFromStream(data);
}

void TBitmap::WriteData(TStream& stream) const
{
    WriteSizedData(stream);
}

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
