#pragma once

#include <cstdint>
#include <string>

// The largest picture the readers decode (bitmap files and packed bitmaps,
// JPEG, icon images), checked on the sizes a header declares before
// anything is allocated for the pixels.
//
// The pictures this program shows are a few hundred pixels wide (the logo is
// 370 x 251); the limit leaves any real picture ample room while bounding
// what a damaged or hostile header can make a load allocate. A load then
// holds at most a couple of buffers of this size (the decoded pixels and the
// bitmap made from them) besides its input.
constexpr std::int64_t kMaxPicturePixels = 4096 * 4096;
constexpr std::int64_t kMaxPictureBytes = 64 * 1024 * 1024;

// Bytes of one row of pixels, padded to 4 bytes as device-independent
// bitmaps keep their rows. Exact for any width a 32-bit header can declare.
std::int64_t PaddedRowBytes(std::int64_t width, int bitsPerPixel);

// Whether a picture of this size and depth is within the limit: both sides
// positive, at most kMaxPicturePixels pixels, and at most kMaxPictureBytes
// for its padded rows.
bool WithinDecodeLimit(std::int64_t width, std::int64_t height, int bitsPerPixel);

// The message of the error a reader raises for a picture beyond the limit.
std::string PictureTooLargeMessage(std::int64_t width, std::int64_t height);
// The same for data whose size alone is beyond what a picture within the
// limit needs, where the picture's size is not known yet (a compressed
// container's declared size) or says nothing (run-length data).
std::string PictureDataTooLargeMessage(std::int64_t bytes, std::int64_t limit);
