#include "framework/graphics/BitmapHeader.h"

#include <algorithm>

#include "framework/graphics/ByteReader.h"
#include "framework/graphics/DecodeLimit.h"
#include "framework/graphics/InvalidGraphic.h"

namespace {

constexpr std::uint64_t kMaskBytes = 12;
constexpr std::uint32_t kLargestColorTable = 256;

// a × b, or UINT64_MAX when the product does not fit 64 bits.
std::uint64_t SaturatingProduct(std::uint64_t a, std::uint64_t b)
{
    return a != 0 && b > UINT64_MAX / a ? UINT64_MAX : a * b;
}

bool IsKnownDepth(std::uint32_t bitCount)
{
    switch (bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: return true;
    default: return false;
    }
}

// Run-length data of the depth its compression names, bottom-up, with a
// size where one must be declared.
bool IsAllowedRunLength(const TBitmapHeader& header, TRunLength allowed)
{
    const std::uint32_t depth = header.compression == BI_RLE8 ? 8 : 4;
    return allowed != TRunLength::Refused && header.bitCount == depth && header.height > 0 &&
           (header.imageSize != 0 || allowed == TRunLength::AnySize);
}

bool IsAllowedCompression(const TBitmapHeader& header, const TBitmapHeaderOptions& options)
{
    switch (header.compression) {
    case BI_RGB: return true;
    case BI_BITFIELDS: return header.bitCount == 16 || header.bitCount == 32;
    case BI_RLE8:
    case BI_RLE4: return IsAllowedRunLength(header, options.runLength);
    default: return false;
    }
}

bool AreColorCountsInRange(const TBitmapHeader& header)
{
    const std::uint32_t palette = PaletteSize(header.BitsPerPixel());
    return header.colorsUsed <= kLargestColorTable && (palette == 0 || header.colorsUsed <= palette) &&
           header.colorsImportant <= ColorTableEntries(header);
}

} // namespace

std::uint32_t PaletteSize(std::uint32_t bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

bool AcceptsHeaderSize(std::uint32_t size, const TBitmapHeaderOptions& options)
{
    return size == kCoreHeaderBytes || (size >= kInfoHeaderBytes && size <= options.largestInfoHeader);
}

TBitmapHeader ReadBitmapHeader(const TByteReader& block)
{
    TBitmapHeader header;
    header.size = block.Get<std::uint32_t>(0);
    if (header.Core()) {
        header.width = block.Get<std::uint16_t>(4);
        header.height = block.Get<std::uint16_t>(6);
        header.planes = block.Get<std::uint16_t>(8);
        header.bitCount = block.Get<std::uint16_t>(10);
        return header;
    }
    header.width = block.Get<std::int32_t>(4);
    header.height = block.Get<std::int32_t>(8);
    header.planes = block.Get<std::uint16_t>(12);
    header.bitCount = block.Get<std::uint16_t>(14);
    header.compression = block.Get<std::uint32_t>(16);
    header.imageSize = block.Get<std::uint32_t>(20);
    header.colorsUsed = block.Get<std::uint32_t>(32);
    header.colorsImportant = block.Get<std::uint32_t>(36);
    return header;
}

std::uint64_t ColorTableEntries(const TBitmapHeader& header)
{
    return header.colorsUsed != 0 ? header.colorsUsed : PaletteSize(header.BitsPerPixel());
}

std::uint64_t ColorEntryBytes(const TBitmapHeader& header, TColorUsage usage)
{
    switch (usage) {
    case TColorUsage::Rgb: return header.Core() ? 3 : 4;
    case TColorUsage::PaletteIndexes: return 2;
    case TColorUsage::None: return 0;
    }
    return 0;
}

std::uint64_t HeaderAndTableBytes(const TBitmapHeader& header, TColorUsage usage)
{
    return std::uint64_t{header.size} + (header.MasksFollow() ? kMaskBytes : 0) +
           ColorTableEntries(header) * ColorEntryBytes(header, usage);
}

std::uint64_t RowBytes(const TBitmapHeader& header)
{
    const std::uint64_t width = static_cast<std::uint32_t>(header.width);
    return (width * header.BitsPerPixel() + 31) / 32 * 4;
}

std::uint64_t PixelRows(const TBitmapHeader& header, const TBitmapHeaderOptions& options)
{
    const std::uint64_t rows = header.height < 0 ? 0 - static_cast<std::uint64_t>(header.height)
                                                 : static_cast<std::uint64_t>(header.height);
    return options.maskRows ? rows / 2 : rows;
}

std::uint64_t PixelBytes(const TBitmapHeader& header, const TBitmapHeaderOptions& options)
{
    if (header.Compressed())
        return header.imageSize;
    return SaturatingProduct(RowBytes(header), PixelRows(header, options));
}

std::uint64_t MaskBytes(const TBitmapHeader& header, const TBitmapHeaderOptions& options)
{
    if (!options.maskRows)
        return 0;
    const std::uint64_t width = static_cast<std::uint32_t>(header.width);
    return (width + 31) / 32 * 4 * PixelRows(header, options);
}

void CheckBitmapLayout(const TBitmapHeader& header, const TBitmapHeaderOptions& options, const char* invalidMessage)
{
    if (!AcceptsHeaderSize(header.size, options) || header.planes != 1 || !IsKnownDepth(header.bitCount) ||
        !IsAllowedCompression(header, options) || !AreColorCountsInRange(header))
        throw EInvalidGraphic(invalidMessage);
    const auto rows = static_cast<std::int64_t>(PixelRows(header, options));
    if (header.width <= 0 || rows == 0 || (options.maskRows && header.height < 0))
        throw EInvalidGraphic(invalidMessage);
    if (!WithinDecodeLimit(header.width, rows, static_cast<int>(header.bitCount)))
        throw EInvalidGraphic(PictureTooLargeMessage(header.width, rows));
}

std::array<std::uint32_t, 3> ReadBitFieldMasks(const TByteReader& block, const TBitmapHeader& header)
{
    const std::uint64_t at = header.MasksFollow() ? header.size : kInfoHeaderBytes;
    const std::array<std::uint32_t, 3> masks{block.Get<std::uint32_t>(at), block.Get<std::uint32_t>(at + 4),
                                             block.Get<std::uint32_t>(at + 8)};
    if (std::find(masks.begin(), masks.end(), 0u) != masks.end())
        block.Invalid();
    return masks;
}

void CheckStoredPixelBytes(const TBitmapHeader& header, const TBitmapHeaderOptions& options)
{
    const std::uint64_t stored = PixelBytes(header, options);
    if (stored > static_cast<std::uint64_t>(kMaxPictureBytes))
        throw EInvalidGraphic(PictureDataTooLargeMessage(static_cast<std::int64_t>(stored), kMaxPictureBytes));
}

TBitmapHeader ReadCheckedBitmapHeader(const TByteReader& block, const TBitmapHeaderOptions& options)
{
    const TBitmapHeader header = ReadBitmapHeader(block);
    CheckBitmapLayout(header, options, block.InvalidMessage());
    if (header.BitFields())
        ReadBitFieldMasks(block, header);
    block.Bytes(0, HeaderAndTableBytes(header, options.colors));
    return header;
}
