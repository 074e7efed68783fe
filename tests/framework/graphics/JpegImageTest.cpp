#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/DecodeLimit.h"
#include "framework/graphics/JpegDecoder.h"
#include "framework/graphics/JpegImage.h"
#include "tests/framework/graphics/GraphicsTestSupport.h"
#include "tests/framework/graphics/JpegEncoder.h"

namespace {

constexpr int kJpegWidth = 48;
constexpr std::uint8_t kFrameMarker[] = {0xFF, 0xC0};
constexpr int kJpegHeight = 32;

// Smooth gradients, which JPEG keeps close at a high quality.
std::vector<std::uint8_t> Gradient(bool grey)
{
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < kJpegHeight; ++y) {
        for (int x = 0; x < kJpegWidth; ++x) {
            const auto red = static_cast<std::uint8_t>(x * 255 / (kJpegWidth - 1));
            const auto green = static_cast<std::uint8_t>(y * 255 / (kJpegHeight - 1));
            if (grey) {
                pixels.push_back(static_cast<std::uint8_t>((red + green) / 2));
            } else {
                pixels.push_back(red);
                pixels.push_back(green);
                pixels.push_back(128);
            }
        }
    }
    return pixels;
}

void ExpectCloseTo(const std::vector<DWORD>& decoded, const std::vector<std::uint8_t>& source, bool grey)
{
    const int components = grey ? 1 : 3;
    int worst = 0;
    for (int i = 0; i < kJpegWidth * kJpegHeight; ++i) {
        const int red = (decoded[i] >> 16) & 0xFF;
        const int green = (decoded[i] >> 8) & 0xFF;
        const int blue = decoded[i] & 0xFF;
        const std::uint8_t* expected = &source[i * components];
        worst = std::max({worst, std::abs(red - expected[0]), std::abs(green - expected[grey ? 0 : 1]),
                          std::abs(blue - expected[grey ? 0 : 2])});
    }
    EXPECT_LE(worst, 12);
}

TEST(JPEGImage, DecodesColourAndGreyToTheirPixelsWithinJpegTolerance)
{
    for (bool grey : {false, true}) {
        SCOPED_TRACE(grey ? "grey" : "colour");
        const std::vector<std::uint8_t> source = Gradient(grey);
        TJPEGImage image;
        LoadBytes(image, EncodeJpeg(source, kJpegWidth, kJpegHeight, grey, 95));
        ASSERT_EQ(image.Width(), kJpegWidth);
        ASSERT_EQ(image.Height(), kJpegHeight);
        TRenderTarget target(kJpegWidth, kJpegHeight);
        target.Draw(image);
        ExpectCloseTo(target.Pixels(), source, grey);
    }
}

TEST(JPEGImage, ABitmapAssignedFromItHoldsTheDecodedPixels)
{
    TJPEGImage image;
    LoadBytes(image, EncodeJpeg(Gradient(false), kJpegWidth, kJpegHeight, false, 90));
    TRenderTarget drawn(kJpegWidth, kJpegHeight);
    drawn.Draw(image);

    TBitmap bitmap;
    bitmap.Assign(image);
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Bit24);
    TRenderTarget assigned(kJpegWidth, kJpegHeight);
    assigned.Draw(bitmap);
    EXPECT_EQ(assigned.Pixels(), drawn.Pixels());
}

TEST(JPEGImage, KeepsItsDataForSavingAndLayouts)
{
    const std::vector<std::uint8_t> data = EncodeJpeg(Gradient(true), kJpegWidth, kJpegHeight, true, 80);
    TJPEGImage image;
    LoadBytes(image, data);

    TMemoryStream saved;
    image.SaveToStream(saved);
    EXPECT_EQ(std::vector<std::uint8_t>(saved.Memory(), saved.Memory() + saved.Size()), data);

    TMemoryStream stored;
    image.WriteData(stored);
    stored.WriteBuffer("tail", 4);
    stored.SetPosition(0);
    TJPEGImage copy;
    copy.ReadData(stored);
    EXPECT_EQ(stored.Position(), stored.Size() - 4);
    EXPECT_TRUE(copy.Equals(image));
}

TEST(JPEGImage, DamagedDataRaisesTheDecodersErrorAsAnInvalidGraphic)
{
    std::vector<std::uint8_t> data = EncodeJpeg(Gradient(false), kJpegWidth, kJpegHeight, false, 90);
    data[0] = 0;
    TJPEGImage image;
    EXPECT_THROW(LoadBytes(image, data), EJPEGError);
    EXPECT_TRUE(image.Empty());
}

TEST(JPEGImage, APictureBeyondTheDecodeLimitIsRefusedBeforeItIsDecoded)
{
    std::vector<std::uint8_t> data = EncodeJpeg(Gradient(false), kJpegWidth, kJpegHeight, false, 90);
    // The baseline frame header: marker, length, precision, height, width.
    const auto frame = std::search(data.begin(), data.end(), std::begin(kFrameMarker), std::end(kFrameMarker));
    ASSERT_NE(frame, data.end());
    const std::uint8_t size[] = {0x10, 0x00, 0x10, 0x01}; // 4096 rows of 4097
    std::copy(std::begin(size), std::end(size), frame + 5);
    TJPEGImage image;
    EXPECT_EQ(MessageRaised<EJPEGError>([&] { LoadBytes(image, data); }), PictureTooLargeMessage(4097, 4096));
    EXPECT_TRUE(image.Empty());
}

} // namespace
