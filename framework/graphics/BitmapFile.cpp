#include "framework/graphics/BitmapFile.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "framework/graphics/BitmapHeader.h"
#include "framework/graphics/ByteReader.h"
#include "framework/graphics/DecodeLimit.h"
#include "framework/graphics/Graphic.h"
#include "framework/runtime/Streams.h"

const char kInvalidBitmapMessage[] = "ビットマップイメージが不正です";

namespace {

// Files take every header version and run-length data whose size the
// header leaves open.
constexpr TBitmapHeaderOptions kFileHeaders{.runLength = TRunLength::AnySize};

[[noreturn]] void Invalid()
{
    throw EInvalidGraphic(kInvalidBitmapMessage);
}

// The header with its masks and colour table, as the stream holds them.
struct THeaderBlock {
    TBitmapHeader header;
    std::vector<std::uint8_t> bytes;

    TByteReader Reader() const { return TByteReader(bytes.data(), bytes.size(), kInvalidBitmapMessage); }
};

// Reads the header, checks its layout, then reads its masks and table.
THeaderBlock ReadHeaderBlock(TStream& stream)
{
    DWORD headerSize = 0;
    stream.ReadBuffer(&headerSize, sizeof headerSize);
    if (!AcceptsHeaderSize(headerSize, kFileHeaders))
        Invalid();
    THeaderBlock block;
    block.bytes.resize(headerSize);
    std::memcpy(block.bytes.data(), &headerSize, sizeof headerSize);
    stream.ReadBuffer(block.bytes.data() + 4, static_cast<std::int32_t>(headerSize - 4));
    block.header = ReadBitmapHeader(block.Reader());
    CheckBitmapLayout(block.header, kFileHeaders, kInvalidBitmapMessage);
    block.bytes.resize(static_cast<std::size_t>(HeaderAndTableBytes(block.header, TColorUsage::Rgb)));
    stream.ReadBuffer(block.bytes.data() + headerSize, static_cast<std::int32_t>(block.bytes.size() - headerSize));
    return block;
}

// The colours of 1-, 4- and 8-bit pixels; a table of deeper ones only
// advises display palettes and is dropped.
std::vector<RGBQUAD> ColorsOf(const THeaderBlock& block)
{
    const TBitmapHeader& header = block.header;
    if (header.bitCount > 8)
        return {};
    const std::uint64_t entrySize = ColorEntryBytes(header, TColorUsage::Rgb);
    const std::uint64_t count = ColorTableEntries(header);
    const std::uint8_t* table = block.Reader().Bytes(block.bytes.size() - count * entrySize, count * entrySize);
    std::vector<RGBQUAD> colors(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < colors.size(); ++i) {
        const std::uint8_t* entry = &table[i * entrySize];
        colors[i] = RGBQUAD{entry[0], entry[1], entry[2], 0};
    }
    return colors;
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

    const THeaderBlock block = ReadHeaderBlock(stream);
    const TBitmapHeader& header = block.header;
    TDibImage image;
    image.width = static_cast<int>(header.width);
    image.height = static_cast<int>(PixelRows(header, kFileHeaders));
    image.bitCount = static_cast<int>(header.bitCount);
    image.bitFields = header.BitFields();
    if (image.bitFields) {
        const std::array<std::uint32_t, 3> masks = ReadBitFieldMasks(block.Reader(), header);
        std::copy(masks.begin(), masks.end(), image.masks.begin());
    }
    image.colors = ColorsOf(block);

    const bool runLength = header.compression == BI_RLE8 || header.compression == BI_RLE4;
    const std::int64_t pixelBytes = PaddedRowBytes(image.width, image.bitCount) * image.height;
    const auto tableEnd = static_cast<std::int64_t>(sizeof fileHeader + block.bytes.size());
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
    CheckStoredPixelBytes(header, kFileHeaders);
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
