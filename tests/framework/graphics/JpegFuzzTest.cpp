#include <gtest/gtest.h>

#include "framework/graphics/JpegImage.h"
#include "tests/framework/graphics/PictureFuzzSupport.h"

namespace {

void LoadJpeg(const TFuzzBytes& input)
{
    TMemoryStream stream = StreamOfInput(input);
    TJPEGImage image;
    image.LoadFromStream(stream);
    CheckAcceptedPicture(image);
}

TFuzzBytes Marker(std::uint8_t code)
{
    return {0xFF, code};
}

TEST(JpegFuzz, MemoryStream)
{
    TFuzzOptions options = PictureFuzzOptions(20000);
    // Markers of frames, scans, tables, restarts and the image's end.
    options.dictionary = {Marker(0xC0), Marker(0xC2), Marker(0xC4), Marker(0xC9), Marker(0xDA), Marker(0xDB),
                          Marker(0xDD), Marker(0xD0), Marker(0xD9), Marker(0xEE)};
    ExpectReaderHolds({"jpeg-memory-stream", LoadJpeg, IsReaderRefusal, nullptr}, "jpeg", options);
}

} // namespace
