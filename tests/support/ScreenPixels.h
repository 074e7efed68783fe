#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// Pixels read back through a 32-bit section, as 0x00BBGGRR, row by row
// from the top; none (no width) when they could not be read.
struct TPixels {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> colors;

    COLORREF At(int x, int y) const { return colors[static_cast<std::size_t>(y * width + x)]; }
};

// A rectangle of a device context.
TPixels PixelsOf(HDC source, int x, int y, int width, int height);

// The top left corner of a window's client area as the screen shows it now.
// On an Xvfb screen through Wine's X11 driver that holds for another
// program's window too, which is what the logo test and the start-up
// benchmark look at.
TPixels ShownPixels(HWND window, int width, int height);

// A bitmap file as the platform loads it.
TPixels BitmapFilePixels(const std::string& path);

// Writes the pixels as a 24-bit bitmap file; false when it could not.
bool SaveBitmapFile(const std::string& path, const TPixels& pixels);
