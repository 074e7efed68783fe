#include <gtest/gtest.h>

#include <algorithm>

#include "framework/graphics/Bitmap.h"
#include "tests/framework/graphics/PictureFuzzSupport.h"
#include "tests/support/TestSupport.h"

// Bitmap data reaches the reader through every way a bitmap is loaded: file
// and memory streams take bitmap files; resources and the clipboard's CF_DIB
// take the packed form (the file without its 14-byte header); CF_BITMAP
// takes a bitmap handle.

namespace {

TFuzzBytes PackedDib(const TFuzzBytes& file)
{
    return file.size() > 14 ? TFuzzBytes(file.begin() + 14, file.end()) : file;
}

void LoadFromMemoryStream(const TFuzzBytes& input)
{
    TMemoryStream stream = StreamOfInput(input);
    TBitmap bitmap;
    bitmap.LoadFromStream(stream);
    if (stream.Position() > stream.Size())
        throw TFuzzViolation("the stream was left past its end");
    CheckAcceptedPicture(bitmap);
}

void LoadFromClipboardDib(const TFuzzBytes& input)
{
    const TGlobalCopy block(PackedDib(input));
    ASSERT_NE(block.Get(), nullptr);
    TBitmap bitmap;
    bitmap.LoadFromClipboardFormat(CF_DIB, block.Get(), nullptr);
    CheckAcceptedPicture(bitmap);
}

// Each input written to one file and loaded by its path.
class TFileTarget {
public:
    void Load(const TFuzzBytes& input)
    {
        {
            TFileStream file(path_, TFileMode::Create);
            file.WriteBuffer(input.data(), static_cast<std::int32_t>(input.size()));
        }
        TBitmap bitmap;
        bitmap.LoadFromFile(path_);
        CheckAcceptedPicture(bitmap);
    }

private:
    TTempFolder folder_;
    std::string path_ = folder_.File("input.bmp");
};

// The inputs of a batch become the bitmap resources (ids 1, 2, ...) of a
// copy of this program, opened as a data file; they are loaded in order.
class TResourceTarget {
public:
    TResourceTarget()
    {
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        CopyFileA(self, path_.c_str(), FALSE);
    }
    ~TResourceTarget() { Unload(); }

    void Prepare(const std::vector<TFuzzBytes>& inputs)
    {
        Unload();
        HANDLE update = BeginUpdateResourceA(path_.c_str(), TRUE);
        ASSERT_NE(update, nullptr);
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            // A resource cannot be empty.
            TFuzzBytes packed = PackedDib(inputs[i]);
            if (packed.empty())
                packed.push_back(0);
            UpdateResourceA(update, RT_BITMAP, MAKEINTRESOURCEA(i + 1), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                            packed.data(), static_cast<DWORD>(packed.size()));
        }
        ASSERT_TRUE(EndUpdateResourceA(update, FALSE));
        module_ = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr);
        next_ = 0;
    }

    void Load(const TFuzzBytes&)
    {
        TBitmap bitmap;
        bitmap.LoadFromResourceID(module_, ++next_);
        CheckAcceptedPicture(bitmap);
    }

private:
    void Unload()
    {
        if (module_)
            FreeLibrary(module_);
        module_ = nullptr;
    }

    TTempFolder folder_;
    std::string path_ = folder_.File("resources.exe");
    HMODULE module_ = nullptr;
    int next_ = 0;
};

// A CF_BITMAP handle described by the input: byte 0 the kind of object,
// bytes 1-4 two 16-bit sizes, byte 5 the depth, byte 6 the number of palette
// entries, then palette colours and pixels. The sizes are kept small: the
// handle is made by this harness, not by the reader.
class THandleInput {
public:
    explicit THandleInput(const TFuzzBytes& input) : input_(input) {}

    int Kind() const { return Byte(0) % 6; }
    int Width() const { return (Byte(1) | Byte(2) << 8) % 300; }
    int Height() const { return (Byte(3) | Byte(4) << 8) % 300; }
    int Depth() const
    {
        static constexpr int kDepths[] = {1, 4, 8, 16, 24, 32};
        return kDepths[Byte(5) % 6];
    }
    int PaletteEntries() const { return Byte(6); }
    // Bytes after the palette, repeated to any length.
    std::vector<std::uint8_t> Pixels(std::size_t size) const
    {
        std::vector<std::uint8_t> pixels(size);
        const std::size_t start = 7 + 3 * PaletteEntries();
        for (std::size_t i = 0; i < size && start < input_.size(); ++i)
            pixels[i] = input_[start + i % (input_.size() - start)];
        return pixels;
    }
    HPALETTE Palette() const
    {
        if (PaletteEntries() == 0)
            return nullptr;
        struct {
            WORD version;
            WORD count;
            PALETTEENTRY entries[256];
        } palette{0x300, static_cast<WORD>(PaletteEntries()), {}};
        for (int i = 0; i < PaletteEntries(); ++i)
            palette.entries[i] = PALETTEENTRY{Byte(7 + 3 * i), Byte(8 + 3 * i), Byte(9 + 3 * i), 0};
        return CreatePalette(reinterpret_cast<LOGPALETTE*>(&palette));
    }

private:
    std::uint8_t Byte(std::size_t at) const { return at < input_.size() ? input_[at] : 0; }

    const TFuzzBytes& input_;
};

HGDIOBJ MakeHandle(const THandleInput& input)
{
    const int width = input.Width();
    const int height = input.Height();
    switch (input.Kind()) {
    case 0: {
        const std::size_t stride = static_cast<std::size_t>((width * input.Depth() + 15) / 16 * 2);
        const std::vector<std::uint8_t> pixels = input.Pixels(stride * height);
        return CreateBitmap(width, height, 1, input.Depth(), pixels.data());
    }
    case 1: {
        HDC screen = GetDC(nullptr);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
        ReleaseDC(nullptr, screen);
        return bitmap;
    }
    case 2: {
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD colors[256];
        } info{};
        info.header = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, height, 1, static_cast<WORD>(input.Depth()),
                                       BI_RGB, 0, 0, 0, 0, 0};
        const std::vector<std::uint8_t> colors = input.Pixels(sizeof info.colors);
        std::memcpy(info.colors, colors.data(), sizeof info.colors);
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits,
                                          nullptr, 0);
        if (bitmap) {
            const std::size_t size = static_cast<std::size_t>(Stride(width, input.Depth())) * height;
            const std::vector<std::uint8_t> pixels = input.Pixels(size);
            std::memcpy(bits, pixels.data(), size);
        }
        return bitmap;
    }
    case 3:
        // A font whose description, read as a bitmap's, has a size.
        return CreateFontA(width, height, input.Depth() * 10, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                           "Arial");
    case 4:
        return CreateSolidBrush(RGB(width & 0xFF, height & 0xFF, input.Depth()));
    default: {
        HBITMAP deleted = CreateBitmap(8, 8, 1, 1, nullptr);
        DeleteObject(deleted);
        return deleted;
    }
    }
}

void LoadFromClipboardBitmap(const TFuzzBytes& bytes)
{
    const THandleInput input(bytes);
    HGDIOBJ handle = MakeHandle(input);
    HPALETTE palette = input.Palette();
    struct TRelease {
        HGDIOBJ handle;
        HPALETTE palette;
        ~TRelease()
        {
            if (handle)
                DeleteObject(handle);
            if (palette)
                DeleteObject(palette);
        }
    } release{input.Kind() == 5 ? nullptr : handle, palette};
    TBitmap bitmap;
    bitmap.LoadFromClipboardFormat(CF_BITMAP, handle, palette);
    // Only the kinds that are bitmaps may be accepted.
    if (input.Kind() > 2)
        throw TFuzzViolation("accepted a handle of another kind of object as a bitmap");
    CheckAcceptedPicture(bitmap);
}

constexpr std::size_t kMutants = 6000;

TEST(BitmapFuzz, MemoryStream)
{
    ExpectReaderHolds({"bitmap-memory-stream", LoadFromMemoryStream, IsReaderRefusal, nullptr}, "bitmap",
                      PictureFuzzOptions(kMutants));
}

// Files cost the most per input; the stream class is the only difference.
TEST(BitmapFuzz, FileStream)
{
    TFileTarget file;
    ExpectReaderHolds({"bitmap-file-stream", [&](const TFuzzBytes& input) { file.Load(input); }, IsReaderRefusal,
                       nullptr},
                      "bitmap", PictureFuzzOptions(kMutants / 3));
}

TEST(BitmapFuzz, Resource)
{
    TResourceTarget resources;
    ExpectReaderHolds({"bitmap-resource", [&](const TFuzzBytes& input) { resources.Load(input); }, IsReaderRefusal,
                       [&](const std::vector<TFuzzBytes>& inputs) { resources.Prepare(inputs); }},
                      "bitmap", PictureFuzzOptions(kMutants));
}

TEST(BitmapFuzz, ClipboardDib)
{
    ExpectReaderHolds({"bitmap-clipboard-dib", LoadFromClipboardDib, IsReaderRefusal, nullptr}, "bitmap",
                      PictureFuzzOptions(kMutants));
}

TEST(BitmapFuzz, ClipboardBitmapHandle)
{
    ExpectReaderHolds({"bitmap-clipboard-handle", LoadFromClipboardBitmap, IsReaderRefusal, nullptr}, "bitmap-handle",
                      PictureFuzzOptions(kMutants));
}

} // namespace
