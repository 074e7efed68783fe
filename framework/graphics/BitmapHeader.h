#pragma once

#include <windows.h>

#include <array>
#include <cstdint>

class TByteReader;

// The one reader of the bitmap headers that bitmap files, bitmap resources,
// clipboard DIBs, icon images and metafile records carry: a core (12-byte)
// or info header (40 bytes, or a later and longer version) told apart by its
// size field alone, then the bit-field masks where they follow the header,
// the colour table, and the pixels. What the formats legitimately allow
// differently are the options below; every other rule is the same for all.

constexpr std::uint32_t kCoreHeaderBytes = 12;
constexpr std::uint32_t kInfoHeaderBytes = 40;
// Later header versions hold the bit-field masks themselves from this size on.
constexpr std::uint32_t kHeaderWithMasksBytes = 52;
// Larger than any header version; a size beyond it is damage, not a header.
constexpr std::uint32_t kLargestInfoHeaderBytes = 1024;

// A header's fields in one shape. Core fields are unsigned 16-bit values; a
// core header has no compression, image size or colour counts.
struct TBitmapHeader {
    std::uint32_t size = 0;
    std::int64_t width = 0;
    // Negative: the rows run top-down.
    std::int64_t height = 0;
    std::uint32_t planes = 0;
    std::uint32_t bitCount = 0;
    std::uint32_t compression = BI_RGB;
    std::uint32_t imageSize = 0;
    std::uint32_t colorsUsed = 0;
    std::uint32_t colorsImportant = 0;

    bool Core() const { return size == kCoreHeaderBytes; }
    // Planes times bit count: below 2^32.
    std::uint32_t BitsPerPixel() const { return planes * bitCount; }
    bool BitFields() const { return compression == BI_BITFIELDS; }
    // Pixels whose size only the image-size field gives.
    bool Compressed() const { return compression != BI_RGB && compression != BI_BITFIELDS; }
    bool MasksFollow() const { return BitFields() && size < kHeaderWithMasksBytes; }
};

// How a colour table gives its colours: the usage argument of the platform's
// bitmap functions.
enum class TColorUsage {
    Rgb,            // DIB_RGB_COLORS: 4-byte entries, 3-byte ones after a core header
    PaletteIndexes, // DIB_PAL_COLORS: 16-bit indexes into the selected palette
    None,           // DIB_PAL_INDICES: no table, as metafiles record monochrome brushes
};

// Whether a format takes run-length encoded pixels (8 or 4 bits, bottom-up).
enum class TRunLength {
    Refused,
    DeclaredSize, // their size given by the image-size field
    AnySize,      // also without a size: the runs then reach to the end of the data
};

// What the formats that carry bitmap headers allow differently.
struct TBitmapHeaderOptions {
    // Info headers of 40 bytes up to this size are taken (core headers too).
    std::uint32_t largestInfoHeader = kLargestInfoHeaderBytes;
    TRunLength runLength = TRunLength::DeclaredSize;
    // The height counts the rows of the pixels and those of the 1-bit mask
    // after them, as in icon images.
    bool maskRows = false;
    TColorUsage colors = TColorUsage::Rgb;
};

// 2, 16 or 256 for 1, 4 and 8 bits per pixel; 0 for any other count.
std::uint32_t PaletteSize(std::uint32_t bitsPerPixel);

// Whether the size is a core header's (12) or an info header's the options
// take (40 to the largest).
bool AcceptsHeaderSize(std::uint32_t size, const TBitmapHeaderOptions& options);

// The fields at the block's start: a core header when the size field says
// 12, else the first 40 bytes of an info header. Raises the block's invalid
// error when it ends inside them.
TBitmapHeader ReadBitmapHeader(const TByteReader& block);

// Sizes of a header's layout, in 64 bits; exact, or stated where they
// saturate, for every value the fields can hold, so none can overflow.

// Entries of the colour table: colours-used when not 0, else
// PaletteSize(bits per pixel); below 2^32.
std::uint64_t ColorTableEntries(const TBitmapHeader& header);
// Bytes of one table entry: 4 (3 after a core header) for RGB colours, 2 for
// palette indexes, 0 without a table.
std::uint64_t ColorEntryBytes(const TBitmapHeader& header, TColorUsage usage);
// Bytes of the header, of the 12 bytes of masks where they follow it, and of
// ColorTableEntries entries of the usage; below 2^35.
std::uint64_t HeaderAndTableBytes(const TBitmapHeader& header, TColorUsage usage);
// Bytes of one row: (width × bits per pixel + 31) / 32 × 4, the width's 32
// bits read unsigned (a negative width counts as more than any data holds);
// both factors are below 2^32, so the product and the 31 fit 64 bits.
std::uint64_t RowBytes(const TBitmapHeader& header);
// Rows of pixels: the height's magnitude (at most 2^31), halved when it
// counts the mask rows too.
std::uint64_t PixelRows(const TBitmapHeader& header, const TBitmapHeaderOptions& options);
// Bytes of the pixels as stored: the image-size field for compressed pixels,
// else RowBytes × PixelRows, or UINT64_MAX when that exceeds 64 bits.
std::uint64_t PixelBytes(const TBitmapHeader& header, const TBitmapHeaderOptions& options);
// Bytes of the 1-bit mask after the pixels where the height counts its rows:
// (width + 31) / 32 × 4 × PixelRows; else 0. Below 2^60.
std::uint64_t MaskBytes(const TBitmapHeader& header, const TBitmapHeaderOptions& options);

// Raises EInvalidGraphic with the message unless the header describes a
// layout that the platform makes bitmaps of and the options allow: a header
// size they take; one plane; 1, 4, 8, 16, 24 or 32 bits per pixel; no
// compression, bit fields at 16 or 32 bits, or, where allowed, run lengths
// at 8 or 4 bits, bottom-up, of a declared size unless any size is allowed;
// a positive width and a height other than 0 (positive where it counts mask
// rows); at most 256 colours used, and for 1, 4 and 8 bits at most their
// palette; colours important at most the table's entries. A picture beyond
// the decode limit raises EInvalidGraphic with PictureTooLargeMessage. Of
// such a header every size above is below 2^27, the image-size field of
// run-length data apart.
void CheckBitmapLayout(const TBitmapHeader& header, const TBitmapHeaderOptions& options, const char* invalidMessage);

// The red, green and blue masks of a bit-field header: inside a header of 52
// bytes or more, else in the 12 bytes right after it. Raises the block's
// invalid error when the block ends before them or a colour has no bits, a
// layout of which the platform makes no bitmap.
std::array<std::uint32_t, 3> ReadBitFieldMasks(const TByteReader& block, const TBitmapHeader& header);

// Raises EInvalidGraphic with PictureDataTooLargeMessage for pixels that as
// stored take more than any picture within the decode limit needs; only
// run-length data of a layout CheckBitmapLayout takes can.
void CheckStoredPixelBytes(const TBitmapHeader& header, const TBitmapHeaderOptions& options);

// The header at the block's start, checked: CheckBitmapLayout, the masks of
// ReadBitFieldMasks, and its masks and colour table inside the block. Raises
// the block's invalid error otherwise (EInvalidGraphic with
// PictureTooLargeMessage beyond the decode limit).
TBitmapHeader ReadCheckedBitmapHeader(const TByteReader& block, const TBitmapHeaderOptions& options);
