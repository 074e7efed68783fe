#include "tests/support/ScreenPixels.h"

#include <fstream>

#include "framework/runtime/Handles.h"

TPixels PixelsOf(HDC source, int x, int y, int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    DWORD* bits = nullptr;
    const TGdiObject<HBITMAP> bitmap(
        CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0));
    const TMemoryDC memory(source);
    if (!bitmap || !memory)
        return {};
    const TSelectedObject selected(memory.Handle(), bitmap.Get());
    BitBlt(memory.Handle(), 0, 0, width, height, source, x, y, SRCCOPY);
    GdiFlush();
    TPixels pixels{width, height, {}};
    pixels.colors.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int i = 0; i < width * height; ++i)
        pixels.colors.push_back(RGB(bits[i] >> 16 & 0xFF, bits[i] >> 8 & 0xFF, bits[i] & 0xFF));
    return pixels;
}

TPixels ShownPixels(HWND window, int width, int height)
{
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    const TWindowDC screen;
    return PixelsOf(screen.Handle(), origin.x, origin.y, width, height);
}

TPixels BitmapFilePixels(const std::string& path)
{
    const TGdiObject<HBITMAP> bitmap(static_cast<HBITMAP>(
        LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    if (!bitmap)
        return {};
    BITMAP shape{};
    GetObjectA(bitmap.Get(), sizeof shape, &shape);
    const TMemoryDC memory;
    const TSelectedObject selected(memory.Handle(), bitmap.Get());
    return PixelsOf(memory.Handle(), 0, 0, shape.bmWidth, shape.bmHeight);
}

bool SaveBitmapFile(const std::string& path, const TPixels& pixels)
{
    // Rows of 24-bit pixels are padded to whole DWORDs and stored bottom-up.
    const std::size_t stride = (static_cast<std::size_t>(pixels.width) * 3 + 3) / 4 * 4;
    const auto imageSize = static_cast<DWORD>(stride * static_cast<std::size_t>(pixels.height));
    BITMAPINFOHEADER header{sizeof header, pixels.width, pixels.height, 1, 24, BI_RGB, imageSize, 0, 0, 0, 0};
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + imageSize;
    std::vector<char> image(imageSize);
    for (int y = 0; y < pixels.height; ++y) {
        char* row = &image[stride * static_cast<std::size_t>(pixels.height - 1 - y)];
        for (int x = 0; x < pixels.width; ++x) {
            const COLORREF color = pixels.At(x, y);
            row[x * 3] = static_cast<char>(GetBValue(color));
            row[x * 3 + 1] = static_cast<char>(GetGValue(color));
            row[x * 3 + 2] = static_cast<char>(GetRValue(color));
        }
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(image.data(), static_cast<std::streamsize>(image.size()));
    return static_cast<bool>(out);
}
