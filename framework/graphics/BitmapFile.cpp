#include "framework/graphics/BitmapFile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

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

template <class T>
T Get(const std::uint8_t* at)
{
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
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
        std::uint8_t core[8];
        stream.ReadBuffer(core, sizeof core);
        header.core = true;
        header.width = Get<WORD>(core);
        header.height = Get<WORD>(core + 2);
        header.planes = Get<WORD>(core + 4);
        header.bitCount = Get<WORD>(core + 6);
        return header;
    }
    if (headerSize < kInfoHeaderSize || headerSize > kLargestHeaderSize)
        Invalid();
    std::vector<std::uint8_t> info(headerSize);
    stream.ReadBuffer(info.data() + 4, static_cast<std::int32_t>(headerSize - 4));
    header.width = Get<std::int32_t>(&info[4]);
    header.height = Get<std::int32_t>(&info[8]);
    header.planes = Get<WORD>(&info[12]);
    header.bitCount = Get<WORD>(&info[14]);
    header.compression = Get<DWORD>(&info[16]);
    header.imageSize = Get<DWORD>(&info[20]);
    header.colorsUsed = Get<DWORD>(&info[32]);
    if (header.compression == BI_BITFIELDS) {
        if (headerSize >= kHeaderWithMasksSize) {
            for (int i = 0; i < 3; ++i)
                header.masks[i] = Get<DWORD>(&info[40 + 4 * i]);
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
    // Every size computed from here on must fit 32 bits.
    const std::int64_t stride = ((header.width * header.bitCount + 31) & ~31) / 8;
    if (stride * std::llabs(header.height) > 0x7FFFFFFF)
        Invalid();
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
// that leave the image are clipped; damaged data ends the decoding.
void DecodeRunLength(const std::vector<std::uint8_t>& data, TDibImage& image)
{
    const bool nibbles = image.bitCount == 4;
    const int stride = image.Stride();
    int x = 0;
    int y = 0;
    auto put = [&](int value) {
        if (x < image.width && y < image.height) {
            std::uint8_t& byte = image.bits[static_cast<std::size_t>(y) * stride + (nibbles ? x / 2 : x)];
            if (!nibbles)
                byte = static_cast<std::uint8_t>(value);
            else if (x % 2 == 0)
                byte = static_cast<std::uint8_t>((byte & 0x0F) | (value << 4));
            else
                byte = static_cast<std::uint8_t>((byte & 0xF0) | value);
        }
        ++x;
    };
    auto pixelOf = [nibbles](std::uint8_t byte, int index) { return nibbles ? (index % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte; };

    std::size_t at = 0;
    while (at + 2 <= data.size() && y < image.height) {
        const int count = data[at];
        const int code = data[at + 1];
        at += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(pixelOf(static_cast<std::uint8_t>(code), i));
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
            x += data[at];
            y += data[at + 1];
            at += 2;
            break;
        default: { // literal pixels, padded to a 16-bit boundary
            const std::size_t bytes = nibbles ? (code + 1) / 2 : code;
            if (at + bytes > data.size())
                return;
            for (int i = 0; i < code; ++i)
                put(pixelOf(data[at + (nibbles ? i / 2 : i)], i));
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
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M')
        Invalid();
    const DWORD pixelOffset = Get<DWORD>(fileHeader + 10);

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
    const std::uint32_t colorCount = ColorCount(header);
    ReadColorTable(stream, header, colorCount, image);

    const bool runLength = header.compression == BI_RLE8 || header.compression == BI_RLE4;
    const std::int64_t tableEnd =
        14 + std::int64_t(headerSize) + (header.masksFollow ? 12 : 0) + std::int64_t(colorCount) * (header.core ? 3 : 4);
    const std::int64_t remaining = stream.Size() - stream.Position();
    const std::int64_t declared = runLength ? header.imageSize : std::int64_t(image.Stride()) * image.height;
    const std::int64_t gap = std::int64_t(pixelOffset) - tableEnd;
    if (gap > 0 && gap + declared <= remaining && gap < remaining)
        stream.Seek(gap, TSeekOrigin::Current);

    // Data that ends early fails before its pixels are allocated.
    if (!runLength && declared > stream.Size() - stream.Position())
        throw EReadError();
    image.bits.assign(static_cast<std::size_t>(image.Stride()) * image.height, 0);
    if (runLength) {
        // Without a declared size the runs reach to the end of the data.
        const std::int64_t size = header.imageSize ? header.imageSize : stream.Size() - stream.Position();
        if (size <= 0 || size > 0x7FFFFFFF)
            Invalid();
        std::vector<std::uint8_t> packed(static_cast<std::size_t>(size));
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
