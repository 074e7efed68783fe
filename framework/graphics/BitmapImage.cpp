#include "framework/graphics/BitmapImage.h"

#include <algorithm>
#include <cstring>

#include "framework/graphics/Graphic.h"

namespace {

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

HBITMAP CreateSection(TDibHeader& header, void** bits)
{
    HBITMAP handle = CreateDIBSection(nullptr, header.Info(), DIB_RGB_COLORS, bits, nullptr, 0);
    if (!handle)
        throw EOutOfResources();
    return handle;
}

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
    TBitmapImage& image = BitmapImage();
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

void TBitmapCanvas::Changing()
{
    BitmapChanging();
    TCanvas::Changing();
}

void TBitmapCanvas::Changed()
{
    TCanvas::Changed();
    BitmapChanged();
}

std::shared_ptr<TBitmapImage> AdoptedImage(HBITMAP handle)
{
    auto image = std::make_shared<TBitmapImage>();
    if (handle)
        image->Adopt(handle);
    return image;
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

namespace {

// An image that holds only a shape, for the size that comes later.
std::shared_ptr<TBitmapImage> ShapeOnlyImage(int width, int height, TPixelFormat format, TBitmapHandleType type,
                                             bool monochrome, HPALETTE palette)
{
    auto image = std::make_shared<TBitmapImage>();
    image->width = std::max(width, 0);
    image->height = std::max(height, 0);
    image->format = type == TBitmapHandleType::DDB ? TPixelFormat::Device : format;
    image->type = type;
    image->monochrome = monochrome;
    image->palette.Reset(CopyPalette(palette));
    return image;
}

HBITMAP CreateDeviceBitmap(int width, int height, bool monochrome)
{
    HBITMAP handle;
    if (monochrome) {
        handle = CreateBitmap(width, height, 1, 1, nullptr);
    } else {
        const TWindowDC screen;
        handle = CreateCompatibleBitmap(screen.Handle(), width, height);
    }
    if (!handle)
        throw EOutOfResources();
    return handle;
}

// A section of the format; a colour table comes from the palette, else the
// format's default colours.
HBITMAP CreateBlankSection(int width, int height, TPixelFormat format, bool monochrome, HPALETTE palette)
{
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
    return CreateSection(header, &bits);
}

} // namespace

std::shared_ptr<TBitmapImage> BlankImage(int width, int height, TPixelFormat format, TBitmapHandleType type,
                                         bool monochrome, HPALETTE palette)
{
    if (width <= 0 || height <= 0)
        return ShapeOnlyImage(width, height, format, type, monochrome, palette);
    std::shared_ptr<TBitmapImage> image =
        AdoptedImage(type == TBitmapHandleType::DDB ? CreateDeviceBitmap(width, height, monochrome)
                                                    : CreateBlankSection(width, height, format, monochrome, palette));
    if (!image->palette)
        image->palette.Reset(CopyPalette(palette));
    TSelectedBitmap selected(image->handle.Get());
    PatBlt(selected.Handle(), 0, 0, width, height, WHITENESS);
    return image;
}

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
