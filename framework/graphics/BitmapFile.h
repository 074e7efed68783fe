#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <vector>

#include "framework/graphics/DecodeLimit.h"

class TStream;

// A device-independent image as bitmap files carry it, normalised: rows
// bottom-up and uncompressed, 1, 4, 8, 16, 24 or 32 bits per pixel.
struct TDibImage {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    // 16 and 32 bits: the red, green and blue masks when bitFields is set;
    // otherwise 16 bits are 5-5-5 and 32 bits are 8-8-8.
    bool bitFields = false;
    std::array<DWORD, 3> masks{};
    std::vector<RGBQUAD> colors;
    std::vector<std::uint8_t> bits;

    // Bytes per row, rounded up to a multiple of 4, for sizes within the
    // decode limit.
    int Stride() const { return StrideOf(width, bitCount); }
    static int StrideOf(int width, int bitCount) { return static_cast<int>(PaddedRowBytes(width, bitCount)); }
};

extern const char kInvalidBitmapMessage[];

// Reads bitmap file data at the stream's position: file header, core or info
// header (any later version), colour table or bit-field masks, and pixels,
// uncompressed, run-length encoded or top-down. The pixels are taken from the
// file header's offset when that points past the colour table and inside the
// data, otherwise right after the table. Leaves the stream after the pixels.
// Raises EInvalidGraphic for data that is not a bitmap this reader knows or
// that declares a picture beyond the decode limit, and the stream's read
// error for data that ends early; both before the pixels are allocated.
TDibImage ReadBitmapFile(TStream& stream);

// Writes a bitmap file with an info header.
void WriteBitmapFile(TStream& stream, const TDibImage& image);
