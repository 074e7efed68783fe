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
#include "framework/graphics/BitmapHeader.h"
#include "framework/graphics/BitmapSupport.h"
#include "framework/graphics/ByteReader.h"
#include "framework/graphics/DibExport.h"
#include "framework/runtime/Handles.h"
#include "framework/runtime/Streams.h"

namespace {

constexpr std::uint32_t kFileHeaderSize = sizeof(BITMAPFILEHEADER);
constexpr std::uint32_t kInfoHeaderSize = sizeof(BITMAPINFOHEADER);
// File header, header fields and bit-field masks, after the longest header
// they follow or inside a later one: what is read before the sizes are known
// and the masks checked.
constexpr std::uint32_t kLeadSize = kFileHeaderSize + (kHeaderWithMasksBytes - 1) + 3 * sizeof(DWORD);
constexpr std::uint64_t kOver32Bits = 0x100000000ull;
// Bitmap data of every header version, run-length data of a stated size:
// the DIB reads bitmaps back to back and must know where each ends.
constexpr TBitmapHeaderOptions kDibHeaders{};

TStretchDIBitsFunction stretchDIBits = &::StretchDIBits;

bool IsCore(const void* header)
{
    std::uint32_t size;
    std::memcpy(&size, header, sizeof size);
    return size == kCoreHeaderBytes;
}

// The fields of a core or info header in memory, of at least 12 or 40 bytes.
TBitmapHeader FieldsOf(const void* header)
{
    const auto* bytes = static_cast<const std::uint8_t*>(header);
    return ReadBitmapHeader(TByteReader(bytes, IsCore(header) ? kCoreHeaderBytes : kInfoHeaderBytes,
                                        kInvalidBitmapMessage));
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

// The whole bitmap's size when the data holds it: file header, header,
// masks, table and pixels. held of the available bytes are in memory, at
// least kLeadSize of them where there are that many. A layout the platform
// makes no bitmap of is invalid, data that ends before what its header
// declares a read error.
std::uint64_t CheckedBitmapSize(const std::uint8_t* data, std::uint64_t held, std::uint64_t available)
{
    if (available < 2)
        throw EReadError();
    CheckFileHeader(data);
    if (available < kFileHeaderSize + 4)
        throw EReadError();
    const TByteReader block(data + kFileHeaderSize, held - kFileHeaderSize, kInvalidBitmapMessage);
    const std::uint32_t headerSize = block.Get<std::uint32_t>(0);
    if (!AcceptsHeaderSize(headerSize, kDibHeaders))
        throw EInvalidGraphic(kInvalidBitmapMessage);
    if (available < kFileHeaderSize + std::min(headerSize, kInfoHeaderSize))
        throw EReadError();
    const TBitmapHeader header = ReadBitmapHeader(block);
    CheckBitmapLayout(header, kDibHeaders, kInvalidBitmapMessage);
    const std::uint64_t tableEnd = kFileHeaderSize + HeaderAndTableBytes(header, TColorUsage::Rgb);
    const std::uint64_t imageSize = PixelBytes(header, kDibHeaders);
    if (tableEnd > available || imageSize > available - tableEnd)
        throw EReadError();
    if (header.BitFields())
        ReadBitFieldMasks(block, header);
    CheckStoredPixelBytes(header, kDibHeaders);
    return tableEnd + imageSize;
}

} // namespace

std::uint32_t ColorCount(const void* header)
{
    return To32(ColorTableEntries(FieldsOf(header)));
}

std::uint32_t HeaderAndTableSize(const void* header)
{
    return To32(HeaderAndTableBytes(FieldsOf(header), TColorUsage::Rgb));
}

std::uint32_t ImageSize(const void* header)
{
    return To32(PixelBytes(FieldsOf(header), kDibHeaders));
}

std::uint32_t BitsOffset(const void* header)
{
    return To32(kFileHeaderSize + HeaderAndTableBytes(FieldsOf(header), TColorUsage::Rgb));
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
    const TBitmapHeader core = FieldsOf(header);
    const auto colors = static_cast<std::uint32_t>(ColorTableEntries(core));
    SetSize(kInfoHeaderSize + 4 * colors);
    BITMAPINFOHEADER& info = Header();
    info.biSize = kInfoHeaderSize;
    info.biWidth = static_cast<LONG>(core.width);
    info.biHeight = static_cast<LONG>(core.height);
    info.biPlanes = static_cast<WORD>(core.planes);
    info.biBitCount = static_cast<WORD>(core.bitCount);
    const auto* entries = static_cast<const std::uint8_t*>(header) + kCoreHeaderBytes;
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
        const auto inflated = static_cast<std::uint64_t>(copy_->Size());
        CheckedBitmapSize(data_, inflated, inflated);
        return;
    }
    const std::int64_t position = stream.Position();
    const std::int64_t size = stream.Size();
    const std::uint64_t available = position >= 0 && position < size ? static_cast<std::uint64_t>(size - position) : 0;
    if (auto* memory = dynamic_cast<TCustomMemoryStream*>(&stream)) {
        const std::uint8_t* data = available ? memory->Memory() + position : nullptr;
        const std::uint64_t total = CheckedBitmapSize(data, available, available);
        data_ = data;
        stream.Seek(static_cast<std::int64_t>(total), TSeekOrigin::Current);
        return;
    }
    if (available == 0)
        throw EReadError();
    copy_ = std::make_unique<TMemoryStream>();
    const auto lead = static_cast<std::int64_t>(std::min<std::uint64_t>(kLeadSize, available));
    copy_->CopyFrom(stream, lead);
    const std::uint64_t total = CheckedBitmapSize(copy_->Memory(), static_cast<std::uint64_t>(lead), available);
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

namespace {

// The header's colours for 1-, 4- and 8-bit headers; none for others.
HPALETTE HeaderPalette(TBMPInfo& header)
{
    const BITMAPINFOHEADER& info = header.Header();
    const int bitsPerPixel = info.biPlanes * info.biBitCount;
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8)
        return nullptr;
    const auto colors = static_cast<int>(std::min<std::uint32_t>(ColorCount(&info), 256));
    return ColorTableToPalette(header.ColorTable(), colors);
}

} // namespace

TCompatibleDC::TCompatibleDC(TBMPInfo& header, const TWindowDC& screen)
    : dc_(screen.Handle()),
      bitmap_(CreateCompatibleBitmap(screen.Handle(), 1, 1)),
      palette_(HeaderPalette(header)),
      paletteSelection_(dc_.Handle(), palette_.Get(), false),
      bitmapSelection_(dc_.Handle(), bitmap_.Get())
{
    if (palette_)
        RealizePalette(dc_.Handle());
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
    if (!dc)
        return nullptr;
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
    if (!dc)
        return nullptr;
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
