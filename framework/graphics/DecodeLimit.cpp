#include "framework/graphics/DecodeLimit.h"

#include "framework/runtime/Text.h"

std::int64_t PaddedRowBytes(std::int64_t width, int bitsPerPixel)
{
    return (width * bitsPerPixel + 31) / 32 * 4;
}

bool WithinDecodeLimit(std::int64_t width, std::int64_t height, int bitsPerPixel)
{
    // Checked one factor at a time, so that no product can leave 64 bits.
    if (width <= 0 || height <= 0 || width > kMaxPicturePixels || height > kMaxPicturePixels)
        return false;
    return width * height <= kMaxPicturePixels && PaddedRowBytes(width, bitsPerPixel) * height <= kMaxPictureBytes;
}

std::string PictureTooLargeMessage(std::int64_t width, std::int64_t height)
{
    return Format("画像が大きすぎます (%lld x %lld 画素、上限は %lld 画素)", static_cast<long long>(width),
                  static_cast<long long>(height), static_cast<long long>(kMaxPicturePixels));
}

std::string PictureDataTooLargeMessage(std::int64_t bytes, std::int64_t limit)
{
    return Format("画像が大きすぎます (%lld バイト、上限は %lld バイト)", static_cast<long long>(bytes),
                  static_cast<long long>(limit));
}
