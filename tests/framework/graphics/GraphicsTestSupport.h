#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/graphics/Canvas.h"
#include "framework/graphics/Graphic.h"
#include "framework/runtime/Handles.h"
#include "framework/runtime/Streams.h"
#include "tests/framework/runtime/RaisedMessage.h"
#include "tests/support/TestHandles.h"

using Bytes = std::vector<std::uint8_t>;

// A canvas on a device context the test owns.
class TAttachedCanvas : public TCanvas {
public:
    explicit TAttachedCanvas(HDC dc) { SetHandle(dc); }
    ~TAttachedCanvas() override { SetHandle(nullptr); }
};

// A 32-bit top-down section with its own context: what drawing leaves in it
// is read back independently of the classes under test.
class TRenderTarget {
public:
    TRenderTarget(int width, int height, COLORREF background = RGB(255, 255, 255))
        : width_(width), height_(height), bitmap_(MakeSection(width, height, bits_)),
          selected_(dc_.Handle(), bitmap_.Get())
    {
        const TGdiObject<HBRUSH> brush(CreateSolidBrush(background));
        const RECT all{0, 0, width, height};
        FillRect(dc_.Handle(), &all, brush.Get());
    }
    TRenderTarget(const TRenderTarget&) = delete;
    TRenderTarget& operator=(const TRenderTarget&) = delete;

    HDC Dc() const { return dc_.Handle(); }

    void Draw(TGraphic& graphic, const RECT& rect) { TAttachedCanvas(Dc()).StretchDraw(rect, graphic); }
    void Draw(TGraphic& graphic) { Draw(graphic, RECT{0, 0, graphic.Width(), graphic.Height()}); }

    // The platform's own drawing of bitmap file data, through its headers.
    void DrawFileData(const std::vector<std::uint8_t>& file)
    {
        DWORD offset;
        std::memcpy(&offset, &file[10], 4);
        StretchDIBits(Dc(), 0, 0, width_, height_, 0, 0, width_, height_, &file[offset],
                      reinterpret_cast<const BITMAPINFO*>(&file[14]), DIB_RGB_COLORS, SRCCOPY);
    }

    // A bitmap handle copied 1:1 to the top-left corner.
    void Blit(HBITMAP bitmap)
    {
        const TMemoryDC source;
        const TSelectedObject selected(source.Handle(), bitmap);
        BitBlt(Dc(), 0, 0, width_, height_, source.Handle(), 0, 0, SRCCOPY);
    }

    // 0x00RRGGBB.
    DWORD Pixel(int x, int y) const
    {
        GdiFlush();
        return bits_[y * width_ + x] & 0xFFFFFF;
    }
    std::vector<DWORD> Pixels() const
    {
        GdiFlush();
        std::vector<DWORD> pixels(bits_, bits_ + width_ * height_);
        for (DWORD& pixel : pixels)
            pixel &= 0xFFFFFF;
        return pixels;
    }

private:
    static HBITMAP MakeSection(int width, int height, DWORD*& bits)
    {
        BITMAPINFO info{};
        info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    }

    int width_;
    int height_;
    DWORD* bits_ = nullptr;
    TGdiObject<HBITMAP> bitmap_;
    TMemoryDC dc_;
    TSelectedObject selected_;
};

// 0x00RRGGBB of a COLORREF, the form TRenderTarget answers.
constexpr DWORD Rgb(COLORREF color)
{
    return (DWORD(GetRValue(color)) << 16) | (DWORD(GetGValue(color)) << 8) | GetBValue(color);
}

inline TMemoryStream StreamOf(const std::vector<std::uint8_t>& bytes)
{
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    stream.SetPosition(0);
    return stream;
}

// Anything that loads from a stream (a graphic, a DIB) loaded from the bytes.
template <class T>
void LoadBytes(T& target, const Bytes& data)
{
    TMemoryStream stream = StreamOf(data);
    target.LoadFromStream(stream);
}

// A graphic of the given class read from the bytes of a file.
template <class T>
std::unique_ptr<T> Loaded(const Bytes& data)
{
    auto graphic = std::make_unique<T>();
    LoadBytes(*graphic, data);
    return graphic;
}

// The graphic drawn 1:1 over the background.
inline std::vector<DWORD> Rendered(TGraphic& graphic, COLORREF background = RGB(255, 255, 255))
{
    TRenderTarget target(graphic.Width(), graphic.Height(), background);
    target.Draw(graphic);
    return target.Pixels();
}

// The platform's own drawing of bitmap file data of the size.
inline std::vector<DWORD> DrawnByPlatform(const Bytes& file, int width, int height)
{
    TRenderTarget target(width, height, RGB(1, 2, 3));
    target.DrawFileData(file);
    return target.Pixels();
}

inline void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    TFileStream file(path, TFileMode::Create);
    file.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

// Bitmap files of every header kind and depth, with pixels that differ from
// their neighbours.
struct TBitmapFileKind {
    enum class Header { Core, Info, V5 };

    const char* name;
    Header header;
    int bitCount;
    DWORD compression = BI_RGB; // BI_RLE8/BI_RLE4 are encoded from the same pixels
    bool topDown = false;
    DWORD colorsUsed = 0;       // 0: the full table
    std::vector<DWORD> masks{}; // for BI_BITFIELDS
};

inline int Stride(int width, int bitCount)
{
    return ((width * bitCount + 31) & ~31) / 8;
}

inline int TableSize(const TBitmapFileKind& kind)
{
    if (kind.colorsUsed)
        return static_cast<int>(kind.colorsUsed);
    return kind.bitCount <= 8 ? 1 << kind.bitCount : 0;
}

// The colour index of a pixel for palette formats.
inline int IndexAt(const TBitmapFileKind& kind, int x, int y)
{
    return (x * 3 + y * 5 + x * y) % TableSize(kind);
}

// A run-length encoding of index rows (bottom row first), using both run
// kinds: repeats as encoded runs, the rest as literal runs when long enough.
inline std::vector<std::uint8_t> EncodeRunLength(const std::vector<std::vector<int>>& rows, bool nibbles)
{
    std::vector<std::uint8_t> out;
    for (const std::vector<int>& row : rows) {
        const int width = static_cast<int>(row.size());
        int x = 0;
        while (x < width) {
            int run = 1;
            while (x + run < width && row[x + run] == row[x] && run < 255)
                ++run;
            if (run >= 2) {
                out.push_back(static_cast<std::uint8_t>(run));
                out.push_back(static_cast<std::uint8_t>(nibbles ? (row[x] << 4) | row[x] : row[x]));
                x += run;
                continue;
            }
            int literal = 1;
            while (x + literal < width && literal < 254 &&
                   !(x + literal + 1 < width && row[x + literal] == row[x + literal + 1]))
                ++literal;
            if (literal < 3) {
                out.push_back(1);
                out.push_back(static_cast<std::uint8_t>(nibbles ? row[x] << 4 : row[x]));
                ++x;
                continue;
            }
            out.push_back(0);
            out.push_back(static_cast<std::uint8_t>(literal));
            std::size_t bytes = 0;
            for (int i = 0; i < literal; ++i) {
                if (!nibbles) {
                    out.push_back(static_cast<std::uint8_t>(row[x + i]));
                    ++bytes;
                } else if (i % 2 == 0) {
                    out.push_back(static_cast<std::uint8_t>(row[x + i] << 4));
                    ++bytes;
                } else {
                    out.back() = static_cast<std::uint8_t>(out.back() | row[x + i]);
                }
            }
            if (bytes % 2)
                out.push_back(0);
            x += literal;
        }
        out.push_back(0);
        out.push_back(0);
    }
    out.push_back(0);
    out.push_back(1);
    return out;
}

// The test picture's pixels in file order, run-length encoded when the
// kind says so.
inline std::vector<std::uint8_t> FilePixels(const TBitmapFileKind& kind, int width, int height)
{
    const int stride = Stride(width, kind.bitCount);
    std::vector<std::uint8_t> pixels;
    std::vector<std::vector<int>> indexRows;
    for (int line = 0; line < height; ++line) {
        const int y = kind.topDown ? line : height - 1 - line;
        std::vector<std::uint8_t> row(stride, 0);
        std::vector<int> indices;
        for (int x = 0; x < width; ++x) {
            const unsigned value = static_cast<unsigned>(x * 2654435761u + y * 40503u + x * y * 97u);
            switch (kind.bitCount) {
            case 1: row[x / 8] |= static_cast<std::uint8_t>(IndexAt(kind, x, y) << (7 - x % 8)); break;
            case 4: row[x / 2] |= static_cast<std::uint8_t>(IndexAt(kind, x, y) << (x % 2 ? 0 : 4)); break;
            case 8: row[x] = static_cast<std::uint8_t>(IndexAt(kind, x, y)); break;
            case 16: std::memcpy(&row[x * 2], &value, 2); break;
            case 24: std::memcpy(&row[x * 3], &value, 3); break;
            case 32: std::memcpy(&row[x * 4], &value, 4); break;
            }
            if (kind.bitCount <= 8)
                indices.push_back(IndexAt(kind, x, y));
        }
        pixels.insert(pixels.end(), row.begin(), row.end());
        indexRows.push_back(indices);
    }
    if (kind.compression == BI_RLE8 || kind.compression == BI_RLE4)
        return EncodeRunLength(indexRows, kind.compression == BI_RLE4);
    return pixels;
}

inline std::vector<std::uint8_t> MakeBitmapFile(const TBitmapFileKind& kind, int width, int height)
{
    const int tableEntries = TableSize(kind);
    const bool core = kind.header == TBitmapFileKind::Header::Core;
    const int entrySize = core ? 3 : 4;
    const int headerSize = core ? 12 : kind.header == TBitmapFileKind::Header::V5 ? 124 : 40;
    const bool masksInHeader = kind.header == TBitmapFileKind::Header::V5;
    const int masksAfter = kind.compression == BI_BITFIELDS && !masksInHeader ? 12 : 0;
    const std::vector<std::uint8_t> pixels = FilePixels(kind, width, height);

    std::vector<std::uint8_t> file;
    auto put = [&file](const void* data, std::size_t size) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        file.insert(file.end(), bytes, bytes + size);
    };
    auto put16 = [&put](WORD value) { put(&value, 2); };
    auto put32 = [&put](DWORD value) { put(&value, 4); };

    const DWORD offset = 14 + headerSize + masksAfter + tableEntries * entrySize;
    put("BM", 2);
    put32(offset + static_cast<DWORD>(pixels.size()));
    put32(0);
    put32(offset);
    put32(headerSize);
    if (core) {
        put16(static_cast<WORD>(width));
        put16(static_cast<WORD>(height));
        put16(1);
        put16(static_cast<WORD>(kind.bitCount));
    } else {
        put32(static_cast<DWORD>(width));
        put32(static_cast<DWORD>(kind.topDown ? -height : height));
        put16(1);
        put16(static_cast<WORD>(kind.bitCount));
        put32(kind.compression);
        put32(static_cast<DWORD>(pixels.size()));
        put32(2835);
        put32(2835);
        put32(kind.colorsUsed);
        put32(0);
        if (masksInHeader) {
            const std::size_t start = file.size();
            for (int i = 0; i < 3; ++i)
                put32(kind.masks.empty() ? 0 : kind.masks[i]);
            file.resize(start + (headerSize - 40), 0);
        }
    }
    if (masksAfter)
        for (DWORD mask : kind.masks)
            put32(mask);
    for (int i = 0; i < tableEntries; ++i) {
        const std::uint8_t entry[4] = {static_cast<std::uint8_t>(i * 37 + 11), static_cast<std::uint8_t>(i * 73 + 5),
                                       static_cast<std::uint8_t>(255 - i * 151), 0};
        put(entry, entrySize);
    }
    put(pixels.data(), pixels.size());
    return file;
}

// The bytes after the file header: what bitmap resources and the clipboard
// hold.
inline std::vector<std::uint8_t> PackedDibOf(const std::vector<std::uint8_t>& file)
{
    return std::vector<std::uint8_t>(file.begin() + 14, file.end());
}
