#include "bitmap/UDIB.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "bitmap/UCanvas.h"
#include "bitmap/UGraphicUtil.h"
#include "bitmap/UPaletteUtil.h"
#include "container/UZLIB.h"
#include "framework/graphics/BitmapFile.h"
#include "framework/graphics/BitmapSupport.h"
#include "framework/runtime/Handles.h"
#include "framework/runtime/Streams.h"

namespace {

constexpr std::uint32_t kFileHeaderSize = sizeof(BITMAPFILEHEADER);
constexpr std::uint32_t kCoreHeaderSize = sizeof(BITMAPCOREHEADER);
constexpr std::uint32_t kInfoHeaderSize = sizeof(BITMAPINFOHEADER);
// File header and info header: what is read before the sizes are known.
constexpr std::uint32_t kLeadSize = kFileHeaderSize + kInfoHeaderSize;
// Headers from this size on hold the bit-field masks themselves.
constexpr std::uint32_t kHeaderWithMasks = 52;
constexpr std::uint64_t kOver32Bits = 0x100000000ull;

TStretchDIBitsFunction stretchDIBits = &::StretchDIBits;

template <class T>
T Field(const void* header, std::size_t offset)
{
    T value;
    std::memcpy(&value, static_cast<const std::uint8_t*>(header) + offset, sizeof value);
    return value;
}

bool IsCore(const void* header)
{
    return Field<std::uint32_t>(header, 0) == kCoreHeaderSize;
}

// The header's fields in one shape; core fields are unsigned 16-bit values.
struct THeaderFields {
    std::uint32_t size;
    std::uint64_t width;
    std::int64_t height;
    std::uint32_t bitsPerPixel;
    std::uint32_t compression;
    std::uint32_t imageSize;
    std::uint32_t colorsUsed;
};

THeaderFields FieldsOf(const void* header)
{
    if (IsCore(header))
        return {kCoreHeaderSize, Field<std::uint16_t>(header, 4), Field<std::uint16_t>(header, 6),
                std::uint32_t{Field<std::uint16_t>(header, 8)} * Field<std::uint16_t>(header, 10), BI_RGB, 0, 0};
    return {Field<std::uint32_t>(header, 0),
            Field<std::uint32_t>(header, 4), // a negative width reads as a huge one: no data holds it
            Field<std::int32_t>(header, 8),
            std::uint32_t{Field<std::uint16_t>(header, 12)} * Field<std::uint16_t>(header, 14),
            Field<std::uint32_t>(header, 16),
            Field<std::uint32_t>(header, 20),
            Field<std::uint32_t>(header, 32)};
}

std::uint64_t ColorCount64(const THeaderFields& h)
{
    return h.colorsUsed != 0 ? h.colorsUsed : ColorsForBitCount(h.bitsPerPixel);
}

std::uint64_t HeaderAndTableSize64(const THeaderFields& h)
{
    if (h.size == kCoreHeaderSize)
        return kCoreHeaderSize + 3 * ColorCount64(h);
    if (h.compression == BI_BITFIELDS)
        return h.size + (h.size < kHeaderWithMasks ? 12 : 0);
    return h.size + 4 * ColorCount64(h);
}

// Rows rounded up to 4 bytes times the height: the pixels once unpacked.
std::uint64_t UnpackedSize64(const THeaderFields& h)
{
    // Width and bits per pixel each fit 32 bits; their product stays within
    // 64 bits unless both are near their ends, where it saturates.
    if (h.bitsPerPixel != 0 && h.width > (~0ull - 31) / h.bitsPerPixel)
        return ~0ull;
    const std::uint64_t stride = ((h.width * h.bitsPerPixel + 31) & ~31ull) / 8;
    const std::uint64_t rows = h.height < 0 ? 0 - static_cast<std::uint64_t>(h.height) : h.height;
    if (rows != 0 && stride > ~0ull / rows)
        return ~0ull;
    return stride * rows;
}

std::uint64_t ImageSize64(const THeaderFields& h)
{
    if (h.compression != BI_RGB && h.compression != BI_BITFIELDS)
        return h.imageSize;
    return UnpackedSize64(h);
}

std::uint32_t To32(std::uint64_t value)
{
    return value < kOver32Bits ? static_cast<std::uint32_t>(value) : 0xFFFFFFFFu;
}

std::uint8_t* AllocateZeroed(std::uint32_t size)
{
    try {
        return new std::uint8_t[size]();
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    }
}

// The layouts the platform makes bitmaps of: a depth it knows, with a
// compression that depth allows; run-length pixels bottom-up and of a stated
// size. Any other layout is damaged data, which the platform would only
// refuse later, when the bitmap is made.
bool IsKnownLayout(const THeaderFields& h)
{
    switch (h.compression) {
    case BI_RGB:
        return h.bitsPerPixel == 1 || h.bitsPerPixel == 4 || h.bitsPerPixel == 8 || h.bitsPerPixel == 16 ||
               h.bitsPerPixel == 24 || h.bitsPerPixel == 32;
    case BI_RLE8: return h.bitsPerPixel == 8 && h.height > 0 && h.imageSize > 0;
    case BI_RLE4: return h.bitsPerPixel == 4 && h.height > 0 && h.imageSize > 0;
    case BI_BITFIELDS: return h.bitsPerPixel == 16 || h.bitsPerPixel == 32;
    default: return false;
    }
}

// The whole bitmap's size when the data holds it: file header, header,
// table and pixels. Reads only what it has checked is there.
std::uint64_t CheckedBitmapSize(const std::uint8_t* data, std::uint64_t available)
{
    if (available < 2)
        throw EReadError();
    CheckFileHeader(data);
    if (available < kFileHeaderSize + 4)
        throw EReadError();
    const void* header = data + kFileHeaderSize;
    const std::uint32_t headerSize = Field<std::uint32_t>(header, 0);
    if (headerSize != kCoreHeaderSize && headerSize < kInfoHeaderSize)
        throw EInvalidGraphic(kInvalidBitmapMessage);
    if (available < kFileHeaderSize + std::min(headerSize, kInfoHeaderSize))
        throw EReadError();
    const std::uint16_t planes = Field<std::uint16_t>(header, IsCore(header) ? 8 : 12);
    if (planes != 1)
        throw EInvalidGraphic(kInvalidBitmapMessage);
    const THeaderFields fields = FieldsOf(header);
    if (!IsKnownLayout(fields))
        throw EInvalidGraphic(kInvalidBitmapMessage);
    const std::uint64_t tableEnd = kFileHeaderSize + HeaderAndTableSize64(fields);
    const std::uint64_t imageSize = ImageSize64(fields);
    if (tableEnd > available || imageSize > available - tableEnd)
        throw EReadError();
    // Only run-length data gets here with a negative width (read as a huge
    // one): it is no size at all, rather than too large a one.
    if (fields.width > static_cast<std::uint64_t>(INT32_MAX))
        throw EInvalidGraphic(kInvalidBitmapMessage);
    // Run-length data may be small and still unpack, when drawn, to more
    // than any picture of this program needs. A side of 0 unpacks to nothing.
    const auto width = static_cast<std::int64_t>(fields.width);
    const std::int64_t rows = fields.height < 0 ? -fields.height : fields.height;
    if (width != 0 && rows != 0 && !WithinDecodeLimit(width, rows, static_cast<int>(fields.bitsPerPixel)))
        throw EInvalidGraphic(PictureTooLargeMessage(width, rows));
    // Within the limit, uncompressed pixels are too; run-length data may
    // still claim more than any picture within it needs.
    if (imageSize > static_cast<std::uint64_t>(kMaxPictureBytes))
        throw EInvalidGraphic(PictureDataTooLargeMessage(static_cast<std::int64_t>(imageSize), kMaxPictureBytes));
    return tableEnd + imageSize;
}

} // namespace

std::uint32_t ColorsForBitCount(std::uint32_t bitCount)
{
    switch (bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

std::uint32_t ColorCount(const void* header)
{
    return To32(ColorCount64(FieldsOf(header)));
}

std::uint32_t HeaderAndTableSize(const void* header)
{
    return To32(HeaderAndTableSize64(FieldsOf(header)));
}

std::uint32_t ImageSize(const void* header)
{
    return To32(ImageSize64(FieldsOf(header)));
}

std::uint32_t BitsOffset(const void* header)
{
    return To32(kFileHeaderSize + HeaderAndTableSize64(FieldsOf(header)));
}

void CheckContainerDeclaredSize(std::int32_t declared)
{
    if (declared > kMaxBitmapFileBytes)
        throw EInvalidGraphic(PictureDataTooLargeMessage(declared, kMaxBitmapFileBytes));
}

void CheckFileHeader(const void* data)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (bytes[0] != 'B' || bytes[1] != 'M')
        throw EInvalidGraphic(kInvalidBitmapMessage);
}

TBMPInfo::TBMPInfo()
{
    SetSize(kInfoHeaderSize);
    Header().biSize = kInfoHeaderSize;
    Header().biPlanes = 1;
    Header().biBitCount = 24;
}

void TBMPInfo::SetSize(std::uint32_t size)
{
    block_.reset(AllocateZeroed(std::max(size, kInfoHeaderSize)));
    size_ = size;
}

void TBMPInfo::Assign(const TBMPInfo& other)
{
    SetSize(other.size_);
    std::memcpy(block_.get(), other.block_.get(), size_);
}

void TBMPInfo::AssignHeader(const void* header)
{
    if (IsCore(header)) {
        AssignCoreHeader(header);
        return;
    }
    SetSize(HeaderAndTableSize(header));
    std::memcpy(block_.get(), header, size_);
}

void TBMPInfo::AssignCoreHeader(const void* header)
{
    const std::uint32_t colors =
        ColorsForBitCount(std::uint32_t{Field<std::uint16_t>(header, 8)} * Field<std::uint16_t>(header, 10));
    SetSize(kInfoHeaderSize + 4 * colors);
    BITMAPINFOHEADER& info = Header();
    info.biSize = kInfoHeaderSize;
    info.biWidth = Field<std::uint16_t>(header, 4);
    info.biHeight = Field<std::uint16_t>(header, 6);
    info.biPlanes = Field<std::uint16_t>(header, 8);
    info.biBitCount = Field<std::uint16_t>(header, 10);
    const auto* entries = static_cast<const std::uint8_t*>(header) + kCoreHeaderSize;
    RGBQUAD* table = ColorTable();
    for (std::uint32_t i = 0; i < colors; ++i)
        table[i] = RGBQUAD{entries[3 * i], entries[3 * i + 1], entries[3 * i + 2], 0};
}

TBitsHolder::~TBitsHolder()
{
    FreeBits();
}

HRESULT STDMETHODCALLTYPE TBitsHolder::QueryInterface(REFIID id, void** out)
{
    if (IsEqualIID(id, __uuidof(IUnknown)) || IsEqualIID(id, IID_IBitsHolder)) {
        *out = static_cast<IBitsHolder*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TBitsHolder::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG STDMETHODCALLTYPE TBitsHolder::Release()
{
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

void STDMETHODCALLTYPE TBitsHolder::SetBits(void* bits, BOOL owns)
{
    FreeBits();
    bits_ = bits;
    owns_ = owns;
}

void TBitsHolder::FreeBits()
{
    if (owns_)
        delete[] static_cast<std::uint8_t*>(bits_);
    bits_ = nullptr;
    owns_ = FALSE;
}

TBitmapStreamHolder::TBitmapStreamHolder(TStream& stream)
{
    std::int32_t declared = 0;
    if (ReadContainerHeader(stream, declared)) {
        CheckContainerDeclaredSize(declared);
        // The memory grows with what really inflates, not with the claim.
        copy_ = std::make_unique<TMemoryStream>();
        DecompressContainer(stream, *copy_, declared);
        data_ = copy_->Memory();
        CheckedBitmapSize(data_, static_cast<std::uint64_t>(copy_->Size()));
        return;
    }
    const std::int64_t position = stream.Position();
    const std::int64_t size = stream.Size();
    const std::uint64_t available = position >= 0 && position < size ? static_cast<std::uint64_t>(size - position) : 0;
    if (auto* memory = dynamic_cast<TCustomMemoryStream*>(&stream)) {
        const std::uint8_t* data = available ? memory->Memory() + position : nullptr;
        const std::uint64_t total = CheckedBitmapSize(data, available);
        data_ = data;
        stream.Seek(static_cast<std::int64_t>(total), TSeekOrigin::Current);
        return;
    }
    if (available == 0)
        throw EReadError();
    copy_ = std::make_unique<TMemoryStream>();
    const auto lead = static_cast<std::int64_t>(std::min<std::uint64_t>(kLeadSize, available));
    copy_->CopyFrom(stream, lead);
    const std::uint64_t total = CheckedBitmapSize(copy_->Memory(), available);
    if (total > static_cast<std::uint64_t>(lead)) {
        copy_->SetSize(static_cast<std::int64_t>(total));
        copy_->SetPosition(lead);
        copy_->CopyFrom(stream, static_cast<std::int64_t>(total) - lead);
    } else {
        // A small core-header bitmap ends inside the lead: what was read
        // beyond it goes back to the stream.
        stream.Seek(static_cast<std::int64_t>(total) - lead, TSeekOrigin::Current);
    }
    data_ = copy_->Memory();
}

TBitmapStreamHolder::~TBitmapStreamHolder() = default;

TCompatibleDC::TCompatibleDC(TBMPInfo& header)
{
    {
        const TWindowDC screen;
        dc_ = CreateCompatibleDC(screen.Handle());
        bitmap_ = CreateCompatibleBitmap(screen.Handle(), 1, 1);
    }
    const BITMAPINFOHEADER& info = header.Header();
    const int bitsPerPixel = info.biPlanes * info.biBitCount;
    if (bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8) {
        const auto colors = static_cast<int>(std::min<std::uint32_t>(ColorCount(&info), 256));
        palette_ = ColorTableToPalette(header.ColorTable(), colors);
        if (palette_) {
            oldPalette_ = SelectPalette(dc_, palette_, FALSE);
            RealizePalette(dc_);
        }
    }
    if (bitmap_)
        oldBitmap_ = SelectObject(dc_, bitmap_);
}

TCompatibleDC::~TCompatibleDC()
{
    if (oldBitmap_)
        SelectObject(dc_, oldBitmap_);
    if (palette_) {
        if (oldPalette_)
            SelectPalette(dc_, oldPalette_, FALSE);
        DeleteObject(palette_);
    }
    if (bitmap_)
        DeleteObject(bitmap_);
    if (dc_)
        DeleteDC(dc_);
}

namespace {

// What an intake makes, aside from the DIB until it is complete.
struct TIntake {
    TBMPInfo header;
    TBitsHolderRef holder;
    std::uint32_t bitsSize = 0;
    std::unique_ptr<TBitmap> keptBitmap;
};

TBitsHolderRef OwningHolder(std::unique_ptr<std::uint8_t[]> bits)
{
    TBitsHolderRef holder(new TBitsHolder);
    holder->SetBits(bits.release(), TRUE);
    return holder;
}

// The bits of a DIB section, which the section frees.
TBitsHolderRef BorrowingHolder(void* bits)
{
    TBitsHolderRef holder(new TBitsHolder);
    holder->SetBits(bits, FALSE);
    return holder;
}

void ReadSection(HBITMAP bitmap, const DIBSECTION& section, TIntake& intake)
{
    TBMPInfo& header = intake.header;
    header.SetSize(HeaderAndTableSize(&section.dsBmih));
    // The masks of a bit-field section follow its header in the description.
    const std::uint32_t described =
        section.dsBmih.biCompression == BI_BITFIELDS ? kInfoHeaderSize + 12 : kInfoHeaderSize;
    std::memcpy(header.Info(), &section.dsBmih, std::min(described, header.Size()));
    header.Header().biSize = kInfoHeaderSize;
    const UINT colors = ColorCount(&header.Header());
    if (colors != 0 && section.dsBmih.biCompression != BI_BITFIELDS) {
        const TSelectedBitmap selected(bitmap);
        GetDIBColorTable(selected.Handle(), 0, std::min<UINT>(colors, 256), header.ColorTable());
    }
    intake.holder = BorrowingHolder(section.dsBm.bmBits);
    intake.bitsSize = ImageSize(&header.Header());
}

void ExportDeviceBitmap(HBITMAP bitmap, HPALETTE palette, TIntake& intake)
{
    DWORD headerSize = 0;
    DWORD imageSize = 0;
    GetDIBSizes(bitmap, headerSize, imageSize);
    std::unique_ptr<std::uint8_t[]> bits(AllocateZeroed(imageSize));
    TBMPInfo& header = intake.header;
    header.SetSize(headerSize);
    GetDIB(bitmap, palette, header.Info(), bits.get());
    if (palette) {
        const int capacity = static_cast<int>((headerSize - kInfoHeaderSize) / sizeof(RGBQUAD));
        const int colors = PaletteToColorTable(palette, header.ColorTable(), capacity);
        header.Header().biClrUsed = static_cast<DWORD>(colors);
        header.Header().biClrImportant = static_cast<DWORD>(colors);
    }
    intake.holder = OwningHolder(std::move(bits));
    intake.bitsSize = imageSize;
}

// True when the bits are borrowed from a DIB section.
bool ReadHandle(HBITMAP bitmap, HPALETTE palette, TIntake& intake)
{
    DIBSECTION section{};
    if (GetObjectA(bitmap, sizeof section, &section) == sizeof section && section.dsBm.bmBits) {
        ReadSection(bitmap, section, intake);
        return true;
    }
    ExportDeviceBitmap(bitmap, palette, intake);
    return false;
}

void ReadBitmapFile(TStream& stream, TIntake& intake)
{
    const TBitmapStreamHolder data(stream);
    const void* header = data.InfoHeader();
    const std::uint32_t imageSize = ImageSize(header);
    std::unique_ptr<std::uint8_t[]> bits(AllocateZeroed(imageSize));
    std::memcpy(bits.get(), data.Data() + BitsOffset(header), imageSize);
    intake.header.AssignHeader(header);
    intake.holder = OwningHolder(std::move(bits));
    intake.bitsSize = imageSize;
}

} // namespace

TDIB::TDIB() = default;

TDIB::~TDIB() = default;

void TDIB::Take(TBMPInfo& header, TBitsHolderRef& holder, std::uint32_t bitsSize,
                std::unique_ptr<TBitmap>& keptBitmap) noexcept
{
    header_.Swap(header);
    holder_.Swap(holder);
    bitsSize_ = bitsSize;
    keptBitmap_.swap(keptBitmap);
}

void TDIB::AssignFromDIB(const TDIB& other)
{
    if (&other == this)
        return;
    TIntake intake;
    intake.header.Assign(other.header_);
    intake.holder = other.holder_;
    if (other.keptBitmap_) {
        intake.keptBitmap = std::make_unique<TBitmap>();
        intake.keptBitmap->Assign(*other.keptBitmap_);
    }
    Take(intake.header, intake.holder, other.bitsSize_, intake.keptBitmap);
}

void TDIB::AssignFromBitmap(TBitmap& bitmap)
{
    HPALETTE palette = nullptr;
    if (bitmap.HandleType() == TBitmapHandleType::DDB) {
        if (IsPaletteScreen())
            palette = bitmap.Palette();
    } else {
        const TPixelFormat format = bitmap.PixelFormat();
        if (format == TPixelFormat::Bit1 || format == TPixelFormat::Bit4 || format == TPixelFormat::Bit8)
            palette = bitmap.Palette();
    }
    TIntake intake;
    if (ReadHandle(bitmap.Handle(), palette, intake)) {
        // Sharing the image keeps the borrowed section alive.
        intake.keptBitmap = std::make_unique<TBitmap>();
        intake.keptBitmap->Assign(bitmap);
    }
    Take(intake.header, intake.holder, intake.bitsSize, intake.keptBitmap);
}

bool TDIB::AssignFromHandle(HBITMAP bitmap, HPALETTE palette)
{
    TIntake intake;
    const bool borrowed = ReadHandle(bitmap, palette, intake);
    Take(intake.header, intake.holder, intake.bitsSize, intake.keptBitmap);
    return borrowed;
}

void TDIB::LoadFromStream(TStream& stream)
{
    TIntake intake;
    ReadBitmapFile(stream, intake);
    Take(intake.header, intake.holder, intake.bitsSize, intake.keptBitmap);
}

void TDIB::Draw(TCanvas& canvas, const RECT& destination, const RECT& source)
{
    if (IsPrintingCanvas(canvas))
        DrawBanded(canvas, destination, source);
    else
        DrawDirect(canvas, destination, source);
}

bool TDIB::DrawDirect(TCanvas& canvas, const RECT& destination, const RECT& source)
{
    if (!holder_)
        return true;
    const int destinationWidth = RectWidth(destination);
    const int destinationHeight = RectHeight(destination);
    const int sourceWidth = RectWidth(source);
    const int sourceHeight = RectHeight(source);
    if (destinationWidth == 0 && destinationHeight == 0 && sourceWidth == 0 && sourceHeight == 0)
        return true;
    const HDC dc = canvas.Handle();
    if (RectVisible(dc, &destination) == 0)
        return true;
    const LONG headerHeight = header_.Header().biHeight;
    // Bottom-up pixels count their rows from the bottom.
    const int sourceY = headerHeight > 0 ? headerHeight - source.bottom : source.top;
    SetStretchBltMode(dc, COLORONCOLOR);
    return stretchDIBits(dc, destination.left, destination.top, destinationWidth, destinationHeight, source.left,
                         sourceY, sourceWidth, sourceHeight, holder_->GetBits(), header_.Info(), DIB_RGB_COLORS,
                         canvas.CopyMode()) != 0;
}

void TDIB::DrawBanded(TCanvas& canvas, const RECT& destination, const RECT& source)
{
    if (!holder_ || DrawDirect(canvas, destination, source))
        return;
    // The bands share out the rows of the source part, not of the whole.
    const std::int64_t rows = RectHeight(source);
    const std::int64_t bands = RectHeight(destination);
    for (std::int64_t d = 0; d < bands; ++d) {
        const auto top = static_cast<LONG>(source.top + d * rows / bands);
        auto bottom = static_cast<LONG>(source.top + (d + 1) * rows / bands);
        if (bottom == top)
            ++bottom;
        const auto y = static_cast<LONG>(destination.top + d);
        DrawDirect(canvas, RECT{destination.left, y, destination.right, y + 1},
                   RECT{source.left, top, source.right, bottom});
    }
}

HBITMAP TDIB::CreateHandle()
{
    const DWORD compression = header_.Header().biCompression;
    if (compression == BI_RGB || compression == BI_BITFIELDS) {
        if (HBITMAP section = CreateSectionHandle())
            return section;
    }
    return CreateCompatibleHandle();
}

HBITMAP TDIB::CreateSectionHandle()
{
    if (!holder_)
        return nullptr;
    const TCompatibleDC dc(header_);
    SetLastError(0);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(dc.Handle(), header_.Info(), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bits)
        std::memcpy(bits, holder_->GetBits(), std::min(ImageSize(&header_.Header()), bitsSize_));
    return section;
}

HBITMAP TDIB::CreateCompatibleHandle()
{
    if (!holder_)
        return nullptr;
    const TCompatibleDC dc(header_);
    return CreateDIBitmap(dc.Handle(), &header_.Header(), CBM_INIT, holder_->GetBits(), header_.Info(),
                          DIB_RGB_COLORS);
}

void TDIB::AssignTo(TBitmap& bitmap)
{
    if (keptBitmap_) {
        bitmap.Assign(*keptBitmap_);
        return;
    }
    if (IsWinNT()) {
        bitmap.SetHandle(CreateHandle());
        return;
    }
    bitmap.SetHandle(nullptr);
    const BITMAPINFOHEADER& info = header_.Header();
    const int bitsPerPixel = info.biPlanes * info.biBitCount;
    switch (bitsPerPixel) {
    case 1: bitmap.SetPixelFormat(TPixelFormat::Bit1); break;
    case 4: bitmap.SetPixelFormat(TPixelFormat::Bit4); break;
    case 8: bitmap.SetPixelFormat(TPixelFormat::Bit8); break;
    default: bitmap.SetPixelFormat(TPixelFormat::Bit24); break;
    }
    // A top-down DIB becomes an upright bitmap of the same rows.
    bitmap.SetSize(Width(), Height());
    if (bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8) {
        const auto colors = static_cast<int>(std::min<std::uint32_t>(ColorCount(&info), 256));
        bitmap.SetPalette(ColorTableToPalette(header_.ColorTable(), colors));
    }
    TCanvas& canvas = bitmap.Canvas();
    const TCanvasLock lock(canvas);
    const RECT whole{0, 0, Width(), Height()};
    DrawDirect(canvas, whole, whole);
}

void SetStretchDIBitsForTests(TStretchDIBitsFunction function)
{
    stretchDIBits = function ? function : &::StretchDIBits;
}
