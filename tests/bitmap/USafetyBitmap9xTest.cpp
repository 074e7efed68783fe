// The safety bitmap and its masked image where the system is of the 9x
// family (see UDIB9xTest.cpp for how this program gets there).

#include <gtest/gtest.h>

#include "bitmap/USafetyBitmap.h"
#include "framework/graphics/Printer.h"
#include "tests/bitmap/MaskTestSupport.h"
#include "tests/bitmap/SafetyBitmapCellCases.h"

namespace {

using TRefuse = TStretchDIBitsCounter::TRefuse;

TEST(SafetyBitmap9x, TakesThe9xMaskedImage)
{
    TSafetyBitmap bitmap;
    EXPECT_NE(dynamic_cast<TMaskedImage9x*>(&bitmap.MaskedImage()), nullptr);
}

TEST(SafetyBitmap9x, ABitmapFileBecomesAFrameworkBitmapOfTheMatchingFormat)
{
    TSafetyBitmap bitmap;
    LoadBytes(bitmap, PictureFile(13, 7));
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Bit24);
    EXPECT_EQ(Rendered(bitmap, kBackground), OpaquePicture(13, 7));

    const Bytes eightBit = MakeBitmapFile({"info8used16", TBitmapFileKind::Header::Info, 8, BI_RGB, false, 16}, 4, 4);
    TSafetyBitmap paletted;
    LoadBytes(paletted, eightBit);
    EXPECT_EQ(paletted.PixelFormat(), TPixelFormat::Bit8);
    PALETTEENTRY entries[16];
    ASSERT_EQ(GetPaletteEntries(paletted.Palette(), 0, 16, entries), 16u);
    const auto* table = reinterpret_cast<const RGBQUAD*>(&eightBit[14 + 40]);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(RGB(entries[i].peRed, entries[i].peGreen, entries[i].peBlue),
                  RGB(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue));
}

TEST(SafetyBitmap9xTransparency, ShowsTheBackgroundExactlyWhereTransparentAndThePictureElsewhere)
{
    TSafetyBitmap bitmap;
    LoadTransparentPicture(bitmap);
    EXPECT_EQ(Rendered(bitmap, kBackground), ExpectedOverBackground(37, 23));

    const std::vector<COLORREF> colors{RGB(10, 20, 30), kKey, RGB(200, 100, 0)};
    TSafetyBitmap paletted;
    MakeEightBit(paletted, colors, 12, 5, [](int x, int y) { return (x + 2 * y) % 3; });
    paletted.SetTransparent(true);
    paletted.SetTransparentColor(kKey);
    std::vector<DWORD> expected;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 12; ++x)
            expected.push_back(Rgb((x + 2 * y) % 3 == 1 ? kBackground : colors[(x + 2 * y) % 3]));
    EXPECT_EQ(Rendered(paletted, kBackground), expected);
}

// Each StretchDIBits call is one drawing of a DIB: a draw takes two (mask
// and image), rebuilding the prepared image one more (the mask onto it).
TEST(SafetyBitmap9xTransparency, ASecondDrawRebuildsNothingAndAChangedPixelRebuildsOnce)
{
    TSafetyBitmap bitmap;
    LoadTransparentPicture(bitmap);
    const TCountedStretchDIBits counted;
    Rendered(bitmap, kBackground);
    EXPECT_EQ(counted.Calls(), 3);
    Rendered(bitmap, kBackground);
    EXPECT_EQ(counted.Calls(), 3 + 2);
    bitmap.Canvas().SetPixel(18, 11, kKey);
    std::vector<DWORD> expected = ExpectedOverBackground(37, 23);
    expected[11 * 37 + 18] = Rgb(kBackground);
    EXPECT_EQ(Rendered(bitmap, kBackground), expected);
    EXPECT_EQ(counted.Calls(), 3 + 2 + 3);
}

TEST(SafetyBitmap9xAssign, ACopyTakesMaskPreparedImageAndFlagsAndRebuildsNothing)
{
    TSafetyBitmap original;
    LoadTransparentPicture(original);
    Rendered(original, kBackground);
    TSafetyBitmap copy;
    copy.Assign(original);
    EXPECT_FALSE(copy.MaskedImage().MaskDirty());
    EXPECT_FALSE(copy.MaskedImage().ImageDirty());
    const TCountedStretchDIBits counted;
    EXPECT_EQ(Rendered(copy, kBackground), ExpectedOverBackground(37, 23));
    EXPECT_EQ(counted.Calls(), 2);
}

TEST(SafetyBitmap9xLoad, TheMainThreadAndAWorkerThreadGiveTheSamePixels)
{
    const Bytes data = ContainerOf(PictureFile(23, 11));
    TSafetyBitmap onMain;
    LoadBytes(onMain, data);
    TSafetyBitmap onWorker;
    OnWorkerThread([&] { LoadBytes(onWorker, data); });
    EXPECT_EQ(Rendered(onMain, kBackground), OpaquePicture(23, 11));
    EXPECT_EQ(Rendered(onWorker, kBackground), OpaquePicture(23, 11));
}

// On a 9x-family printer only StretchDIBits draws: a device that refuses
// every call is left untouched, one that refuses the whole image gets it in
// one-row bands.
TEST(SafetyBitmap9xPrinter, DrawsOnlyThroughStretchDIBitsInBandsWhereRefused)
{
    TSafetyBitmap bitmap;
    LoadBytes(bitmap, PictureFile(12, 9));
    {
        TRenderTarget target(12, 9, kBackground);
        const TPrinterCanvasOn printer(Printer().Canvas(), target.Dc());
        const TCountedStretchDIBits counted(TRefuse::All);
        Printer().Canvas().StretchDraw(RECT{0, 0, 12, 9}, bitmap);
        EXPECT_GT(counted.Calls(), 0);
        EXPECT_EQ(target.Pixels(), std::vector<DWORD>(12 * 9, Rgb(kBackground)));
    }
    TRenderTarget target(12, 9, kBackground);
    const TPrinterCanvasOn printer(Printer().Canvas(), target.Dc());
    const TCountedStretchDIBits counted(TRefuse::Whole);
    SetBkColor(Printer().Canvas().Handle(), RGB(10, 20, 30));
    SetTextColor(Printer().Canvas().Handle(), RGB(200, 100, 50));
    bitmap.Draw(Printer().Canvas(), RECT{0, 0, 12, 9});
    EXPECT_EQ(counted.Calls(), 1 + 9);
    EXPECT_EQ(target.Pixels(), OpaquePicture(12, 9));
    EXPECT_EQ(GetBkColor(Printer().Canvas().Handle()), RGB(10, 20, 30));
    EXPECT_EQ(GetTextColor(Printer().Canvas().Handle()), RGB(200, 100, 50));
    EXPECT_EQ(Printer().Canvas().CopyMode(), static_cast<DWORD>(SRCCOPY));
}

TEST(SafetyBitmap9xDraw, AFailedDrawGivesBackTheDestinationsCopyModeAndColours)
{
    TSafetyBitmap transparent;
    LoadTransparentPicture(transparent);
    TSafetyBitmap opaque;
    LoadBytes(opaque, PictureFile(8, 8));
    // Prepared before, so the failure comes with the mask's copy mode set.
    Rendered(transparent, kBackground);
    TRenderTarget target(40, 40);
    {
        TAttachedCanvas canvas(target.Dc());
        const TCanvasColors before = SetUnusualColors(canvas);
        const TCountedStretchDIBits failing(TRefuse::Raise);
        EXPECT_THROW(transparent.Draw(canvas, RECT{0, 0, 37, 23}), std::runtime_error);
        EXPECT_EQ(TCanvasColors::Of(canvas), before);
    }
    const TPrinterCanvasOn printer(Printer().Canvas(), target.Dc());
    const TCanvasColors before = SetUnusualColors(Printer().Canvas());
    const TCountedStretchDIBits failing(TRefuse::Raise);
    EXPECT_THROW(opaque.Draw(Printer().Canvas(), RECT{0, 0, 8, 8}), std::runtime_error);
    EXPECT_EQ(TCanvasColors::Of(Printer().Canvas()), before);
}

} // namespace
