#include <gtest/gtest.h>

#include <random>

#include "bitmap/UMaskedImage.h"
#include "tests/bitmap/MaskTestSupport.h"

namespace {

TMaskBits MonoMaskOf(TBitmap& source, TColor color)
{
    TBitmap mask;
    TMaskedImage::MakeMonoMask(source, mask, color);
    EXPECT_TRUE(mask.Monochrome());
    EXPECT_EQ(mask.HandleType(), TBitmapHandleType::DDB);
    EXPECT_EQ(mask.Width(), source.Width());
    EXPECT_EQ(mask.Height(), source.Height());
    return MaskBitsOf(mask);
}

void ExpectMask(const TMaskBits& mask, int width, int height, const std::function<bool(int, int)>& isSet)
{
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(mask.IsSet(x, y), isSet(x, y)) << "pixel " << x << "," << y;
}

TEST(MonoMask, ABottomLeftPixelOfTheColourAloneGivesExactlyItsBit)
{
    TBitmap source;
    LoadBytes(source, BitmapFileOf(9, 6, 24, [](int x, int y) { return x == 0 && y == 5 ? kKey : PatternColor(x, y); }));
    const TMaskBits mask = MonoMaskOf(source, kKey);
    ExpectMask(mask, 9, 6, [](int x, int y) { return x == 0 && y == 5; });
}

TEST(MonoMask, TheFourthByteOfA32BitPixelIsIgnoredAndTheColoursFlagCleared)
{
    TBitmap source;
    LoadBytes(source, PictureFile(21, 11, 32));
    ASSERT_EQ(source.PixelFormat(), TPixelFormat::Bit32);
    // The colour as a bitmap reports it, with the flag in its top byte.
    const TMaskBits mask = MonoMaskOf(source, kKey | kTransparentColorFlag);
    ExpectMask(mask, 21, 11, [](int x, int y) { return IsKeyPixel(x, y, 21, 11); });
}

TEST(MonoMask, ASeventeenPixelRowTakesFourBytesWithPixelSixteenFirstInTheThird)
{
    TBitmap source;
    LoadBytes(source, BitmapFileOf(17, 3, 24, [](int x, int y) { return x == 16 && y == 1 ? kKey : PatternColor(x, y); }));
    const TMaskBits mask = MonoMaskOf(source, kKey);
    ASSERT_EQ(mask.rowLength, 4);
    const Bytes expected{0, 0, 0, 0, 0, 0, 0x80, 0, 0, 0, 0, 0};
    EXPECT_EQ(mask.bytes, expected);
}

TEST(MonoMask, AnEightBitPaletteWithoutTheExactColourMasksNothing)
{
    TBitmap source;
    // A near colour, and the key as a pixel value the palette cannot hold.
    MakeEightBit(source, {RGB(254, 0, 255), RGB(10, 20, 30), RGB(255, 0, 254)}, 8, 4,
                 [](int x, int y) { return (x + y) % 3; });
    const TMaskBits mask = MonoMaskOf(source, kKey);
    ExpectMask(mask, 8, 4, [](int, int) { return false; });
}

TEST(MonoMask, OfTwoPaletteEntriesWithTheColourOnlyTheNearestIndexIsMasked)
{
    TBitmap source;
    MakeEightBit(source, {RGB(10, 20, 30), kKey, RGB(40, 50, 60), kKey}, 8, 4, [](int x, int) { return x % 4; });
    const UINT nearest = GetNearestPaletteIndex(source.Palette(), kKey);
    ASSERT_TRUE(nearest == 1 || nearest == 3);
    const TMaskBits mask = MonoMaskOf(source, kKey);
    ExpectMask(mask, 8, 4, [nearest](int x, int) { return static_cast<UINT>(x % 4) == nearest; });
}

TEST(MonoMask, ADeviceDependentSourceIsMaskedPixelByPixel)
{
    TBitmap source;
    LoadBytes(source, PictureFile(19, 9));
    source.SetPixelFormat(TPixelFormat::Device);
    ASSERT_EQ(source.HandleType(), TBitmapHandleType::DDB);
    const TMaskBits mask = MonoMaskOf(source, kKey);
    ExpectMask(mask, 19, 9, [](int x, int y) { return IsKeyPixel(x, y, 19, 9); });
}

// The table scan and the pixel-by-pixel path agree on every pixel, also on
// colours that differ from the key in one byte only.
TEST(MonoMask, TheDirectScansAgreeWithThePixelByPixelPath)
{
    const COLORREF nearKey[] = {kKey, RGB(255, 0, 254), RGB(255, 1, 255), RGB(254, 0, 255), RGB(0, 0, 0), RGB(255, 255, 255)};
    std::mt19937 random(7);
    for (int bitCount : {24, 32}) {
        SCOPED_TRACE(bitCount);
        TBitmap source;
        LoadBytes(source, BitmapFileOf(61, 13, bitCount, [&](int, int) { return nearKey[random() % std::size(nearKey)]; }));
        const int wordsPerRow = 4;
        std::vector<std::uint16_t> scanned(wordsPerRow * 13);
        std::vector<std::uint16_t> probed(wordsPerRow * 13);
        ASSERT_TRUE(ScanMaskRows(source, kKey, TMaskRows{scanned.data(), wordsPerRow}));
        ProbeMaskRows(source, kKey, TMaskRows{probed.data(), wordsPerRow});
        EXPECT_EQ(scanned, probed);
        EXPECT_NE(scanned, std::vector<std::uint16_t>(scanned.size()));
    }
    TBitmap device;
    device.SetSize(4, 4);
    ASSERT_EQ(device.PixelFormat(), TPixelFormat::Device);
    std::uint16_t untouched[4] = {};
    EXPECT_FALSE(ScanMaskRows(device, kKey, TMaskRows{untouched, 1}));
}

TEST(MonoMask, AnEmptySourceGivesAnEmptyMask)
{
    TBitmap source;
    TBitmap mask;
    mask.SetSize(3, 3);
    TMaskedImage::MakeMonoMask(source, mask, kKey);
    EXPECT_TRUE(mask.Empty());
}

// Both variants, whatever the family: the 9x one runs here as well as in the
// program that runs as a 9x-family system.
struct TVariant {
    const char* name;
    std::unique_ptr<TMaskedImage> (*make)();
};

class MaskedImageVariant : public testing::TestWithParam<TVariant> {
protected:
    // A fresh masked image of the variant.
    std::unique_ptr<TMaskedImage> Make() const
    {
        auto masked = GetParam().make();
        masked->Invalidate();
        return masked;
    }
    std::unique_ptr<TMaskedImage> Prepared(TBitmap& source) const
    {
        auto masked = Make();
        masked->Prepare(source, kKey);
        return masked;
    }
};

std::vector<DWORD> DrawnOverBackground(TMaskedImage& masked, int width, int height, DWORD* copyModeAfter = nullptr)
{
    TRenderTarget target(width, height, kBackground);
    TAttachedCanvas canvas(target.Dc());
    const RECT whole{0, 0, width, height};
    masked.Draw(canvas, whole, whole);
    if (copyModeAfter)
        *copyModeAfter = canvas.CopyMode();
    return target.Pixels();
}

TEST_P(MaskedImageVariant, DrawsTheBackgroundExactlyWhereTransparentAndThePictureElsewhere)
{
    for (int bitCount : {24, 32}) {
        SCOPED_TRACE(bitCount);
        TBitmap source;
        LoadBytes(source, PictureFile(37, 23, bitCount));
        auto masked = Prepared(source);
        EXPECT_FALSE(masked->MaskDirty());
        EXPECT_FALSE(masked->ImageDirty());
        DWORD copyMode = 0;
        EXPECT_EQ(DrawnOverBackground(*masked, 37, 23, &copyMode), ExpectedOverBackground(37, 23));
        EXPECT_EQ(copyMode, static_cast<DWORD>(SRCAND));
    }
    // Preparing leaves the source as it was.
    TBitmap source;
    LoadBytes(source, PictureFile(37, 23));
    auto masked = Prepared(source);
    TRenderTarget target(37, 23);
    target.Draw(source);
    EXPECT_EQ(target.Pixels(), OpaquePicture(37, 23));
}

TEST_P(MaskedImageVariant, AnEightBitSourceWithTheExactColourIsTransparentThere)
{
    const std::vector<COLORREF> colors{RGB(10, 20, 30), kKey, RGB(200, 100, 0)};
    TBitmap source;
    MakeEightBit(source, colors, 12, 5, [](int x, int y) { return (x * y + x) % 3; });
    auto masked = Prepared(source);
    std::vector<DWORD> expected;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 12; ++x)
            expected.push_back(Rgb((x * y + x) % 3 == 1 ? kBackground : colors[(x * y + x) % 3]));
    EXPECT_EQ(DrawnOverBackground(*masked, 12, 5), expected);
}

TEST_P(MaskedImageVariant, ASetMaskIsKeptAndThePreparedImageFollowsIt)
{
    TBitmap source;
    LoadBytes(source, PictureFile(16, 8));
    // Only the top row is transparent, whatever colour is asked for later.
    TBitmap topRow;
    LoadBytes(topRow, BitmapFileOf(16, 8, 24, [](int, int y) { return y == 0 ? kKey : PatternColor(0, 0); }));
    TBitmap mask;
    TMaskedImage::MakeMonoMask(topRow, mask, kKey);

    auto masked = Make();
    masked->SetMask(mask);
    EXPECT_FALSE(masked->MaskDirty());
    EXPECT_TRUE(masked->ImageDirty());
    masked->Prepare(source, RGB(1, 2, 3));
    std::vector<DWORD> expected = OpaquePicture(16, 8);
    std::fill(expected.begin(), expected.begin() + 16, Rgb(kBackground));
    EXPECT_EQ(DrawnOverBackground(*masked, 16, 8), expected);

    // The mask given back shows its set bits white, whatever its form.
    TBitmap back;
    masked->AssignMaskTo(back);
    ASSERT_EQ(back.Width(), 16);
    TRenderTarget shown(16, 8, kBackground);
    shown.Draw(back);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(shown.Pixel(x, y), y == 0 ? 0xFFFFFFu : 0u) << x << "," << y;
}

TEST_P(MaskedImageVariant, AssigningTheSameVariantCopiesImagesAndFlagsTheOtherMakesAllDirty)
{
    TBitmap source;
    LoadBytes(source, PictureFile(20, 10));
    auto masked = Prepared(source);

    auto copy = Make();
    copy->Assign(*masked);
    EXPECT_FALSE(copy->MaskDirty());
    EXPECT_FALSE(copy->ImageDirty());
    EXPECT_EQ(DrawnOverBackground(*copy, 20, 10), ExpectedOverBackground(20, 10));

    std::unique_ptr<TMaskedImage> other;
    if (dynamic_cast<TMaskedImageNT*>(masked.get()))
        other = std::make_unique<TMaskedImage9x>();
    else
        other = std::make_unique<TMaskedImageNT>();
    other->Assign(*masked);
    EXPECT_TRUE(other->MaskDirty());
    EXPECT_TRUE(other->ImageDirty());
}

INSTANTIATE_TEST_SUITE_P(Variants, MaskedImageVariant,
                         testing::Values(TVariant{"NT", [] { return std::unique_ptr<TMaskedImage>(new TMaskedImageNT); }},
                                         TVariant{"Win9x", [] { return std::unique_ptr<TMaskedImage>(new TMaskedImage9x); }}),
                         [](const testing::TestParamInfo<TVariant>& info) { return info.param.name; });

} // namespace
