#include "framework/graphics/BitmapFile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "framework/graphics/ByteReader.h"
#include "framework/graphics/DecodeLimit.h"
#include "framework/graphics/Graphic.h"
#include "framework/runtime/Streams.h"

const char kInvalidBitmapMessage[] = "ビットマップイメージが不正です";

namespace {

constexpr DWORD kCoreHeaderSize = 12;
constexpr DWORD kInfoHeaderSize = 40;
// Later header versions keep the masks inside the header from this size on.
constexpr DWORD kHeaderWithMasksSize = 52;
// Larger than any header version; a size beyond it is damage, not a header.
constexpr DWORD kLargestHeaderSize = 1024;
constexpr DWORD kLargestColorTable = 256;

[[noreturn]] void Invalid()
{
    throw EInvalidGraphic(kInvalidBitmapMessage);
}

struct THeader {
    std::int64_t width = 0;
    std::int64_t height = 0;
    int planes = 0;
    int bitCount = 0;
    DWORD compression = BI_RGB;
    DWORD imageSize = 0;
    DWORD colorsUsed = 0;
    bool core = false;
    bool masksFollow = false;
    std::array<DWORD, 3> masks{};
};

THeader ReadHeader(TStream& stream, DWORD headerSize)
{
    THeader header;
    if (headerSize == kCoreHeaderSize) {
        std::uint8_t core[kCoreHeaderSize];
        stream.ReadBuffer(core + 4, kCoreHeaderSize - 4);
        const TByteReader fields(core, sizeof core, kInvalidBitmapMessage);
        header.core = true;
        header.width = fields.Get<WORD>(4);
        header.height = fields.Get<WORD>(6);
        header.planes = fields.Get<WORD>(8);
        header.bitCount = fields.Get<WORD>(10);
        return header;
    }
    if (headerSize < kInfoHeaderSize || headerSize > kLargestHeaderSize)
        Invalid();
    std::vector<std::uint8_t> info(headerSize);
    stream.ReadBuffer(info.data() + 4, static_cast<std::int32_t>(headerSize - 4));
    const TByteReader fields(info.data(), info.size(), kInvalidBitmapMessage);
    header.width = fields.Get<std::int32_t>(4);
    header.height = fields.Get<std::int32_t>(8);
    header.planes = fields.Get<WORD>(12);
    header.bitCount = fields.Get<WORD>(14);
    header.compression = fields.Get<DWORD>(16);
    header.imageSize = fields.Get<DWORD>(20);
    header.colorsUsed = fields.Get<DWORD>(32);
    if (header.compression == BI_BITFIELDS) {
        if (headerSize >= kHeaderWithMasksSize) {
            for (int i = 0; i < 3; ++i)
                header.masks[i] = fields.Get<DWORD>(40 + 4 * i);
        } else {
            header.masksFollow = true;
        }
    }
    return header;
}

void Validate(const THeader& header)
{
    static constexpr int kBitCounts[] = {1, 4, 8, 16, 24, 32};
    if (header.planes != 1 || std::find(std::begin(kBitCounts), std::end(kBitCounts), header.bitCount) == std::end(kBitCounts))
        Invalid();
    switch (header.compression) {
    case BI_RGB: break;
    case BI_RLE8:
        if (header.bitCount != 8 || header.height < 0)
            Invalid();
        break;
    case BI_RLE4:
        if (header.bitCount != 4 || header.height < 0)
            Invalid();
        break;
    case BI_BITFIELDS:
        if (header.bitCount != 16 && header.bitCount != 32)
            Invalid();
        break;
    default: Invalid();
    }
    if (header.width <= 0 || header.height == 0)
        Invalid();
    // From here on every size of the pixels fits the limit, and so 32 bits.
    if (!WithinDecodeLimit(header.width, std::llabs(header.height), header.bitCount))
        throw EInvalidGraphic(PictureTooLargeMessage(header.width, std::llabs(header.height)));
}

std::uint32_t ColorCount(const THeader& header)
{
    const std::uint32_t palette = header.bitCount <= 8 ? 1u << header.bitCount : 0;
    if (header.core || header.colorsUsed == 0)
        return palette;
    return header.colorsUsed;
}

void ReadColorTable(TStream& stream, const THeader& header, std::uint32_t count, TDibImage& image)
{
    if (count > kLargestColorTable)
        Invalid();
    const int entrySize = header.core ? 3 : 4;
    std::vector<std::uint8_t> table(count * entrySize);
    stream.ReadBuffer(table.data(), static_cast<std::int32_t>(table.size()));
    if (header.bitCount > 8)
        return; // a table that only advises display palettes
    const std::uint32_t kept = std::min(count, 1u << header.bitCount);
    image.colors.resize(kept);
    for (std::uint32_t i = 0; i < kept; ++i) {
        const std::uint8_t* entry = &table[i * entrySize];
        image.colors[i] = RGBQUAD{entry[0], entry[1], entry[2], 0};
    }
}

// Decodes run-length encoded pixels into a zeroed bottom-up buffer. Runs
// that leave the image are clipped; damaged data ends the decoding. A
// position right of the image is clipped like the image's edge, so x is
// kept at most at the width and cannot grow with the data.
void DecodeRunLength(const std::vector<std::uint8_t>& data, TDibImage& image)
{
    const bool nibbles = image.bitCount == 4;
    const std::size_t stride = static_cast<std::size_t>(image.Stride());
    int x = 0;
    int y = 0;
    // Writes count pixels from x on, as far as the row reaches.
    auto put = [&](int count, auto pixel) {
        const int inside = std::min(count, image.width - x);
        for (int i = 0; i < inside; ++i, ++x) {
            std::uint8_t& byte = image.bits[static_cast<std::size_t>(y) * stride + (nibbles ? x / 2 : x)];
            const int value = pixel(i);
            if (!nibbles)
                byte = static_cast<std::uint8_t>(value);
            else if (x % 2 == 0)
                byte = static_cast<std::uint8_t>((byte & 0x0F) | (value << 4));
            else
                byte = static_cast<std::uint8_t>((byte & 0xF0) | value);
        }
    };
    auto pixelOf = [nibbles](std::uint8_t byte, int index) { return nibbles ? (index % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte; };

    std::size_t at = 0;
    while (at + 2 <= data.size() && y < image.height) {
        const int count = data[at];
        const int code = data[at + 1];
        at += 2;
        if (count > 0) {
            put(count, [&](int i) { return pixelOf(static_cast<std::uint8_t>(code), i); });
            continue;
        }
        switch (code) {
        case 0: // end of line
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            return;
        case 2: // move right and up
            if (at + 2 > data.size())
                return;
            x = std::min(x + data[at], image.width);
            y += data[at + 1];
            at += 2;
            break;
        default: { // literal pixels, padded to a 16-bit boundary
            const std::size_t bytes = nibbles ? (code + 1) / 2 : code;
            if (at + bytes > data.size())
                return;
            put(code, [&](int i) { return pixelOf(data[at + (nibbles ? i / 2 : i)], i); });
            at += (bytes + 1) & ~std::size_t(1);
            break;
        }
        }
    }
}

void FlipRows(TDibImage& image)
{
    const std::size_t stride = static_cast<std::size_t>(image.Stride());
    std::vector<std::uint8_t> row(stride);
    for (int top = 0, bottom = image.height - 1; top < bottom; ++top, --bottom) {
        std::uint8_t* a = &image.bits[top * stride];
        std::uint8_t* b = &image.bits[bottom * stride];
        std::memcpy(row.data(), a, stride);
        std::memcpy(a, b, stride);
        std::memcpy(b, row.data(), stride);
    }
}

} // namespace

TDibImage ReadBitmapFile(TStream& stream)
{
    std::uint8_t fileHeader[14];
    stream.ReadBuffer(fileHeader, sizeof fileHeader);
    const TByteReader file(fileHeader, sizeof fileHeader, kInvalidBitmapMessage);
    if (file.Get<WORD>(0) != 0x4D42) // "BM"
        Invalid();
    const DWORD pixelOffset = file.Get<DWORD>(10);

    DWORD headerSize = 0;
    stream.ReadBuffer(&headerSize, sizeof headerSize);
    THeader header = ReadHeader(stream, headerSize);
    Validate(header);

    TDibImage image;
    image.width = static_cast<int>(header.width);
    image.height = static_cast<int>(std::llabs(header.height));
    image.bitCount = header.bitCount;
    if (header.masksFollow)
        stream.ReadBuffer(header.masks.data(), sizeof header.masks);
    image.bitFields = header.compression == BI_BITFIELDS;
    image.masks = header.masks;
    // A field layout in which a colour has no bits is no layout: the
    // platform makes no bitmap of it.
    if (image.bitFields && std::find(image.masks.begin(), image.masks.end(), 0u) != image.masks.end())
        Invalid();
    const std::uint32_t colorCount = ColorCount(header);
    ReadColorTable(stream, header, colorCount, image);

    const bool runLength = header.compression == BI_RLE8 || header.compression == BI_RLE4;
    const std::int64_t pixelBytes = PaddedRowBytes(image.width, image.bitCount) * image.height;
    const std::int64_t tableEnd =
        14 + std::int64_t(headerSize) + (header.masksFollow ? 12 : 0) + std::int64_t(colorCount) * (header.core ? 3 : 4);
    const std::int64_t remaining = stream.Size() - stream.Position();
    const std::int64_t declared = runLength ? header.imageSize : pixelBytes;
    const std::int64_t gap = std::int64_t(pixelOffset) - tableEnd;
    if (gap > 0 && gap + declared <= remaining && gap < remaining)
        stream.Seek(gap, TSeekOrigin::Current);

    // Without a declared size the runs reach to the end of the data. Data
    // that ends early fails before anything is allocated for it.
    const std::int64_t available = stream.Size() - stream.Position();
    const std::int64_t packedBytes = !runLength ? pixelBytes : header.imageSize ? header.imageSize : available;
    if (packedBytes > available)
        throw EReadError();
    if (packedBytes <= 0 || packedBytes > 0x7FFFFFFF)
        Invalid();
    image.bits.assign(static_cast<std::size_t>(pixelBytes), 0);
    if (runLength) {
        std::vector<std::uint8_t> packed(static_cast<std::size_t>(packedBytes));
        stream.ReadBuffer(packed.data(), static_cast<std::int32_t>(packed.size()));
        DecodeRunLength(packed, image);
        image.bitFields = false;
    } else {
        stream.ReadBuffer(image.bits.data(), static_cast<std::int32_t>(image.bits.size()));
        if (header.height < 0)
            FlipRows(image);
    }
    return image;
}

void WriteBitmapFile(TStream& stream, const TDibImage& image)
{
    const DWORD tableSize =
        image.bitFields ? sizeof image.masks : static_cast<DWORD>(image.colors.size() * sizeof(RGBQUAD));
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + tableSize;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(image.bits.size());
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = image.width;
    info.biHeight = image.height;
    info.biPlanes = 1;
    info.biBitCount = static_cast<WORD>(image.bitCount);
    info.biCompression = image.bitFields ? BI_BITFIELDS : BI_RGB;
    info.biSizeImage = static_cast<DWORD>(image.bits.size());
    info.biClrUsed = image.bitFields ? 0 : static_cast<DWORD>(image.colors.size());
    stream.WriteBuffer(&file, sizeof file);
    stream.WriteBuffer(&info, sizeof info);
    if (image.bitFields)
        stream.WriteBuffer(image.masks.data(), sizeof image.masks);
    else if (!image.colors.empty())
        stream.WriteBuffer(image.colors.data(), static_cast<std::int32_t>(tableSize));
    stream.WriteBuffer(image.bits.data(), static_cast<std::int32_t>(image.bits.size()));
}
