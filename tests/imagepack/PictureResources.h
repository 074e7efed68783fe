#pragma once

// The data of picture resources as a resource compiler stores them, made by
// the tests: bitmaps (a bitmap file without its file header), bitmap files in
// the compressed container, single icon images, enhanced metafiles and JPEG
// data; and a place next to the test program for the resource file that
// overrides the program's own resources.

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "framework/graphics/Metafile.h"
#include "framework/runtime/ShiftJis.h"
#include "tests/bitmap/BitmapTestSupport.h"
#include "tests/framework/graphics/JpegEncoder.h"
#include "tests/imagepack/ResFileBuilder.h"
#include "tests/support/TestSupport.h"

// An 8-bit bottom-up bitmap file whose pixel x, y has colour colors[indexAt(x, y)].
inline Bytes IndexedBitmapFile(int width, int height, const std::vector<COLORREF>& colors,
                               const std::function<int(int, int)>& indexAt)
{
    const int stride = (width + 3) & ~3;
    const DWORD offset = 14 + 40 + static_cast<DWORD>(colors.size()) * 4;
    Bytes file(offset + static_cast<std::size_t>(stride) * height, 0);
    BITMAPFILEHEADER fileHeader{0x4D42, static_cast<DWORD>(file.size()), 0, 0, offset};
    std::memcpy(file.data(), &fileHeader, 14);
    const BITMAPINFOHEADER info{40, width, height, 1, 8, BI_RGB, 0, 0, 0, static_cast<DWORD>(colors.size()), 0};
    std::memcpy(&file[14], &info, 40);
    for (std::size_t i = 0; i < colors.size(); ++i) {
        const RGBQUAD entry{GetBValue(colors[i]), GetGValue(colors[i]), GetRValue(colors[i]), 0};
        std::memcpy(&file[54 + i * 4], &entry, 4);
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            file[offset + static_cast<std::size_t>(height - 1 - y) * stride + x] = static_cast<std::uint8_t>(indexAt(x, y));
    return file;
}

// Left half one colour, right half another.
inline Bytes TwoColourBitmapFile(int width, int height, COLORREF left, COLORREF right)
{
    return IndexedBitmapFile(width, height, {left, right}, [width](int x, int) { return x < width / 2 ? 0 : 1; });
}

// One image of an icon resource: 32 bits with opaque alpha, of one colour.
inline Bytes IconImage(int size, COLORREF color)
{
    const BITMAPINFOHEADER info{40, size, 2 * size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    Bytes image(40);
    std::memcpy(image.data(), &info, 40);
    for (int i = 0; i < size * size; ++i) {
        const std::uint8_t pixel[4] = {GetBValue(color), GetGValue(color), GetRValue(color), 255};
        image.insert(image.end(), pixel, pixel + 4);
    }
    // The mask: every pixel drawn.
    image.resize(image.size() + static_cast<std::size_t>(((size + 31) / 32) * 4 * size), 0);
    return image;
}

// A metafile of the size filled with one colour.
inline Bytes EnhancedMetafile(int width, int height, COLORREF color)
{
    TMetafile metafile;
    metafile.SetWidth(width);
    metafile.SetHeight(height);
    {
        TMetafileCanvas canvas(metafile, nullptr);
        canvas.Brush().SetColor(color);
        canvas.FillRect(RECT{0, 0, width, height});
    }
    TMemoryStream stream;
    metafile.SaveToStream(stream);
    return Bytes(stream.Memory(), stream.Memory() + stream.Size());
}

// JPEG data of one colour.
inline Bytes SolidJpeg(int width, int height, COLORREF color)
{
    Bytes pixels;
    for (int i = 0; i < width * height; ++i)
        pixels.insert(pixels.end(), {GetRValue(color), GetGValue(color), GetBValue(color)});
    return EncodeJpeg(pixels, width, height, false, 95);
}

inline std::string AsText(const Bytes& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// The folder of the test program, with its trailing backslash: where the
// loader looks for its resource file.
inline std::string ProgramFolder()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return FolderPartOf(std::string(path, length));
}

// A resource file next to the test program, under a name of this process,
// removed when the object goes.
class TResFileBesideProgram {
public:
    explicit TResFileBesideProgram(const std::string& base) : name_(UniqueName(base) + ".res") {}
    ~TResFileBesideProgram() { DeleteFileA(Path().c_str()); }
    TResFileBesideProgram(const TResFileBesideProgram&) = delete;
    TResFileBesideProgram& operator=(const TResFileBesideProgram&) = delete;

    // As ResFile names it.
    const std::string& Name() const { return name_; }
    std::string Path() const { return ProgramFolder() + name_; }
    bool Save(const TResFileBuilder& file) const { return file.Save(Path()); }

private:
    std::string name_;
};
