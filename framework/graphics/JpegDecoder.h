#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/graphics/InvalidGraphic.h"

// Raised for JPEG data the codec cannot decode, with the codec's reason: an
// invalid graphic like any other reader's damaged data.
class EJPEGError : public EInvalidGraphic {
public:
    using EInvalidGraphic::EInvalidGraphic;
};

// Decoded pixels: rows top-down, blue, green, red per pixel, no padding.
struct TJpegPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgr;
};

// Decodes baseline or progressive JPEG data in colour, grey or CMYK. A
// picture beyond the decode limit is refused before its pixels are
// allocated.
TJpegPixels DecodeJpeg(const std::uint8_t* data, std::size_t size);
