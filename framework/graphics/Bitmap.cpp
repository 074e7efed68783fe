#include "framework/graphics/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "framework/graphics/BitmapImage.h"
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

} // namespace

// The canvas draws on whichever image the bitmap holds at the time.
class TBitmap::TOwnCanvas : public TBitmapCanvas {
public:
    explicit TOwnCanvas(TBitmap& bitmap) : bitmap_(bitmap) {}

protected:
    TBitmapImage& BitmapImage() override { return *bitmap_.image_; }
    void BitmapChanging() override { bitmap_.Unshare(); }
    void BitmapChanged() override { bitmap_.Changed(&bitmap_); }

private:
    TBitmap& bitmap_;
};

TBitmap::TBitmap() : image_(std::make_shared<TBitmapImage>()) {}

TBitmap::~TBitmap() = default;

TBitmap::TOwnCanvas& TBitmap::OwnCanvas() const
{
    if (!canvas_)
        canvas_ = std::make_unique<TOwnCanvas>(const_cast<TBitmap&>(*this));
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
    TOwnCanvas& own = OwnCanvas();
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
