#pragma once

#include <cstdint>
#include <vector>

// JPEG data made by the codec's compressor from rows top-down of red, green,
// blue bytes (or one grey byte) per pixel.
std::vector<std::uint8_t> EncodeJpeg(const std::vector<std::uint8_t>& pixels, int width, int height, bool grey,
                                     int quality);
