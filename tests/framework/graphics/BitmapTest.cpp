#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/DibExport.h"
#include "tests/framework/graphics/GraphicsTestSupport.h"

namespace {

using Header = TBitmapFileKind::Header;

const TBitmapFileKind kTrueColor{"info24", Header::Info, 24};
const TBitmapFileKind kEightBit{"info8", Header::Info, 8};

void Load(TBitmap& bitmap, const TBitmapFileKind& kind, int width = 5, int height = 4)
{
    LoadBytes(bitmap, MakeBitmapFile(kind, width, height));
}

// A bitmap of solid colour, drawn through its canvas.
void Paint(TBitmap& bitmap, int width, int height, TColor color)
{
    bitmap.SetPixelFormat(TPixelFormat::Bit24);
    bitmap.SetSize(width, height);
    bitmap.Canvas().Brush().SetColor(color);
    bitmap.Canvas().FillRect(RECT{0, 0, width, height});
}

TEST(BitmapSharing, AssignmentSharesTheImageUntilACanvasChangesOneSide)
{
    TBitmap original;
    Load(original, kTrueColor);
    const std::vector<DWORD> before = Rendered(original);
    TBitmap copy;
    copy.Assign(original);
    EXPECT_TRUE(copy.Equals(original));
    EXPECT_EQ(Rendered(copy), before);

    int changes = 0;
    copy.OnChange = TNotifyEvent([&](TObject*) { ++changes; });
    copy.Canvas().SetPixel(0, 0, clRed);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(copy.Equals(original));
    EXPECT_EQ(Rendered(original), before);
    EXPECT_EQ(Rendered(copy)[0], Rgb(RGB(255, 0, 0)));
    EXPECT_NE(copy.Handle(), original.Handle());
}

TEST(BitmapSharing, WritingAScanLineCopiesFirst)
{
    TBitmap original;
    Load(original, kEightBit);
    TBitmap copy;
    copy.Assign(original);
    const std::vector<DWORD> before = Rendered(original);
    static_cast<std::uint8_t*>(copy.ScanLine(0))[0] ^= 1;
    EXPECT_EQ(Rendered(original), before);
    EXPECT_NE(Rendered(copy)[0], before[0]);
    EXPECT_EQ(copy.PixelFormat(), TPixelFormat::Bit8);
}

TEST(BitmapSharing, ASharedImageOutlivesTheBitmapItCameFrom)
{
    TBitmap copy;
    std::vector<DWORD> expected;
    {
        TBitmap original;
        Load(original, kEightBit);
        expected = Rendered(original);
        copy.Assign(original);
        // The original's canvas holds the image when the copy draws.
        original.Canvas().Pixel(0, 0);
        EXPECT_EQ(Rendered(copy), expected);
    }
    EXPECT_EQ(Rendered(copy), expected);
}

TEST(BitmapSharing, SharingIsAnsweredForBothSidesAndEndsWithAChange)
{
    TBitmap original;
    Load(original, kTrueColor);
    TBitmap copy;
    EXPECT_FALSE(copy.SharesImageWith(original));
    copy.Assign(original);
    EXPECT_TRUE(copy.SharesImageWith(original));
    EXPECT_TRUE(original.SharesImageWith(copy));
    copy.Canvas().SetPixel(0, 0, clRed);
    EXPECT_FALSE(copy.SharesImageWith(original));
}

// A mapping set on a bitmap's own context must survive a copy of the shared
// image made for the other side, whether the copy reads the colour table (a
// palette section) or the pixels through the context (a device bitmap).
class BitmapContext : public testing::TestWithParam<bool> {};

TEST_P(BitmapContext, KeepsItsMappingWhenASharingBitmapMakesItsOwnCopy)
{
    const bool deviceBitmap = GetParam();
    TBitmap original;
    Load(original, deviceBitmap ? kTrueColor : kEightBit);
    if (deviceBitmap)
        original.SetHandleType(TBitmapHandleType::DDB);
    const std::vector<DWORD> expected = Rendered(original);
    TBitmap copy;
    copy.Assign(original);

    const HDC dc = original.Canvas().Handle();
    SetViewportOrgEx(dc, 3, 2, nullptr);
    copy.Canvas().SetPixel(0, 0, clRed);

    ASSERT_TRUE(original.Canvas().HandleAllocated());
    EXPECT_EQ(original.Canvas().Handle(), dc);
    POINT origin{};
    GetViewportOrgEx(dc, &origin);
    EXPECT_EQ(origin.x, 3);
    EXPECT_EQ(origin.y, 2);

    // The copy took the pixels unshifted (the changed one aside).
    std::vector<DWORD> copied = Rendered(copy);
    copied[0] = expected[0];
    EXPECT_EQ(copied, expected);
}

INSTANTIATE_TEST_SUITE_P(SectionAndDeviceBitmap, BitmapContext, testing::Bool());

TEST(BitmapShape, ResizingKeepsTheTopLeftAndFillsWhite)
{
    TBitmap bitmap;
    Paint(bitmap, 2, 2, clBlue);
    bitmap.SetSize(3, 4);
    TRenderTarget target(3, 4, RGB(0, 0, 0));
    target.Draw(bitmap);
    EXPECT_EQ(target.Pixel(1, 1), Rgb(RGB(0, 0, 255)));
    EXPECT_EQ(target.Pixel(2, 0), Rgb(RGB(255, 255, 255)));
    EXPECT_EQ(target.Pixel(0, 3), Rgb(RGB(255, 255, 255)));
}

TEST(BitmapShape, FormatsConvertWithTheirPixels)
{
    TBitmap bitmap;
    Paint(bitmap, 4, 3, clRed);
    bitmap.SetPixelFormat(TPixelFormat::Bit8);
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Bit8);
    EXPECT_NE(bitmap.Palette(), nullptr);
    EXPECT_EQ(Rendered(bitmap)[5], Rgb(RGB(255, 0, 0)));

    bitmap.SetHandleType(TBitmapHandleType::DDB);
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Device);
    EXPECT_EQ(Rendered(bitmap)[5], Rgb(RGB(255, 0, 0)));

    bitmap.SetMonochrome(true);
    EXPECT_TRUE(bitmap.Monochrome());
    EXPECT_EQ(bitmap.Width(), 4);
    EXPECT_THROW(bitmap.SetPixelFormat(TPixelFormat::Custom), EInvalidGraphic);
}

TEST(BitmapShape, ScanLinesOutsideTheImageAreRefused)
{
    TBitmap bitmap;
    EXPECT_THROW(bitmap.ScanLine(0), EInvalidGraphic);
    Load(bitmap, kTrueColor, 5, 4);
    EXPECT_THROW(bitmap.ScanLine(4), EInvalidGraphic);
    EXPECT_THROW(bitmap.ScanLine(-1), EInvalidGraphic);
}

TEST(BitmapTransparency, TheAutomaticColourIsTheBottomLeftPixel)
{
    TBitmap bitmap;
    Paint(bitmap, 4, 4, clBlue);
    bitmap.Canvas().SetPixel(0, 3, RGB(10, 20, 30));
    EXPECT_EQ(bitmap.TransparentMode(), TTransparentMode::Auto);
    EXPECT_EQ(bitmap.TransparentColor(), RGB(10, 20, 30) | kTransparentColorFlag);
}

TEST(BitmapTransparency, AMonochromeBitmapIsTransparentWhereWhite)
{
    TBitmap bitmap;
    bitmap.SetMonochrome(true);
    bitmap.SetSize(4, 4);
    bitmap.Canvas().Brush().SetColor(clBlack);
    bitmap.Canvas().FillRect(RECT{0, 0, 4, 4});
    EXPECT_EQ(bitmap.TransparentColor(), clWhite | kTransparentColorFlag);
}

TEST(BitmapTransparency, AFixedColourStaysUntilTheModeTurnsAutomatic)
{
    TBitmap bitmap;
    Paint(bitmap, 2, 2, clLime);
    bitmap.SetTransparentColor(clBtnFace);
    EXPECT_EQ(bitmap.TransparentMode(), TTransparentMode::Fixed);
    EXPECT_EQ(bitmap.TransparentColor(), GetSysColor(COLOR_BTNFACE) | kTransparentColorFlag);

    bitmap.SetTransparentMode(TTransparentMode::Auto);
    EXPECT_EQ(bitmap.TransparentColor(), clLime | kTransparentColorFlag);

    bitmap.SetTransparentMode(TTransparentMode::Fixed);
    bitmap.Canvas().SetPixel(0, 1, clRed);
    EXPECT_EQ(bitmap.TransparentColor(), clLime | kTransparentColorFlag);
}

TEST(BitmapTransparency, TransparentPixelsLeaveTheBackgroundAlsoWhenStretched)
{
    TBitmap bitmap;
    Paint(bitmap, 4, 2, clRed);
    bitmap.Canvas().Brush().SetColor(clBlue);
    bitmap.Canvas().FillRect(RECT{2, 0, 4, 2});
    bitmap.SetTransparent(true);

    TRenderTarget target(8, 4, RGB(0, 128, 0));
    target.Draw(bitmap, RECT{0, 0, 8, 4});
    EXPECT_EQ(target.Pixel(1, 1), Rgb(RGB(0, 128, 0)));
    EXPECT_EQ(target.Pixel(3, 3), Rgb(RGB(0, 128, 0)));
    EXPECT_EQ(target.Pixel(4, 0), Rgb(RGB(0, 0, 255)));
    EXPECT_EQ(target.Pixel(7, 3), Rgb(RGB(0, 0, 255)));
}

TEST(BitmapTransparency, AMonochromeBitmapDrawsBlackAndWhiteWhateverTheCanvasColours)
{
    TBitmap bitmap;
    bitmap.SetMonochrome(true);
    bitmap.SetSize(2, 1);
    bitmap.Canvas().SetPixel(0, 0, clBlack);
    bitmap.Canvas().SetPixel(1, 0, clWhite);

    TRenderTarget opaque(2, 1, RGB(0, 128, 0));
    SetTextColor(opaque.Dc(), RGB(255, 0, 0));
    SetBkColor(opaque.Dc(), RGB(0, 0, 255));
    opaque.Draw(bitmap);
    EXPECT_EQ(opaque.Pixel(0, 0), 0u);
    EXPECT_EQ(opaque.Pixel(1, 0), 0xFFFFFFu);
    EXPECT_EQ(GetTextColor(opaque.Dc()), RGB(255, 0, 0));

    bitmap.SetTransparent(true);
    TRenderTarget transparent(2, 1, RGB(0, 128, 0));
    transparent.Draw(bitmap);
    EXPECT_EQ(transparent.Pixel(0, 0), 0u);
    EXPECT_EQ(transparent.Pixel(1, 0), Rgb(RGB(0, 128, 0)));
}

TEST(BitmapClipboard, ADeviceIndependentBitmapLoadsWithoutAFileHeader)
{
    const std::vector<std::uint8_t> file = MakeBitmapFile(kEightBit, 7, 5);
    TBitmap fromFile;
    LoadBytes(fromFile, file);

    const TGlobalCopy block(PackedDibOf(file));
    TBitmap fromClipboard;
    fromClipboard.LoadFromClipboardFormat(CF_DIB, block.Get(), nullptr);
    EXPECT_EQ(fromClipboard.PixelFormat(), TPixelFormat::Bit8);
    EXPECT_EQ(Rendered(fromClipboard), Rendered(fromFile));
}

TEST(BitmapClipboard, ABitmapHandleIsCopied)
{
    TBitmap source;
    Paint(source, 3, 2, clFuchsia);
    TBitmap copy;
    copy.LoadFromClipboardFormat(CF_BITMAP, source.Handle(), nullptr);
    EXPECT_NE(copy.Handle(), source.Handle());
    EXPECT_EQ(Rendered(copy), Rendered(source));
    EXPECT_THROW(copy.LoadFromClipboardFormat(CF_TEXT, nullptr, nullptr), EInvalidGraphic);
}

TEST(BitmapClipboard, AHandleOfAnotherKindOfObjectIsNoBitmap)
{
    // A font's description, read as a bitmap's, would give one of 100 x 40.
    HFONT font = CreateFontA(20, 100, 40, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial");
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    TBitmap bitmap;
    EXPECT_THROW(bitmap.LoadFromClipboardFormat(CF_BITMAP, font, nullptr), EInvalidGraphic);
    EXPECT_THROW(bitmap.LoadFromClipboardFormat(CF_BITMAP, brush, nullptr), EInvalidGraphic);
    EXPECT_TRUE(bitmap.Empty());
    DeleteObject(font);
    DeleteObject(brush);
}

TEST(BitmapResource, ANameMatchesWithoutRegardToCase)
{
    TBitmap bitmap;
    bitmap.LoadFromResourceName(GetModuleHandleA(nullptr), "sample");
    auto* platform = static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), "SAMPLE", IMAGE_BITMAP, 0, 0,
                                                      LR_CREATEDIBSECTION));
    ASSERT_NE(platform, nullptr);
    TRenderTarget theirs(bitmap.Width(), bitmap.Height());
    theirs.Blit(platform);
    DeleteObject(platform);
    EXPECT_EQ(Rendered(bitmap), theirs.Pixels());
    EXPECT_THROW(bitmap.LoadFromResourceName(GetModuleHandleA(nullptr), "missing"), EResNotFound);
}

TEST(BitmapStreams, SavedBitmapsLoadWithTheirFormatAndPixels)
{
    TBitmap device;
    Paint(device, 3, 3, clAqua);
    device.SetHandleType(TBitmapHandleType::DDB);
    TBitmap eight;
    Load(eight, kEightBit);
    for (TBitmap* original : {&device, &eight}) {
        TMemoryStream stream;
        original->WriteData(stream);
        stream.SetPosition(0);
        TBitmap copy;
        copy.ReadData(stream);
        EXPECT_EQ(stream.Position(), stream.Size());
        EXPECT_EQ(Rendered(copy), Rendered(*original));
        if (original == &eight) {
            EXPECT_EQ(copy.PixelFormat(), TPixelFormat::Bit8);
        }
    }
}

TEST(BitmapExport, ADeviceBitmapLeavesInItsOwnDepth)
{
    TBitmap colour;
    Paint(colour, 5, 3, clRed);
    colour.SetHandleType(TBitmapHandleType::DDB);
    TBitmap mono;
    mono.SetMonochrome(true);
    mono.SetSize(9, 2);
    mono.Canvas().SetPixel(8, 1, clBlack);

    for (TBitmap* bitmap : {&colour, &mono}) {
        DWORD headerSize = 0;
        DWORD imageSize = 0;
        HBITMAP handle = bitmap->Handle();
        GetDIBSizes(handle, headerSize, imageSize);
        std::vector<std::uint8_t> header(headerSize);
        std::vector<std::uint8_t> bits(imageSize);
        ASSERT_TRUE(GetDIB(handle, nullptr, header.data(), bits.data()));
        const auto* info = reinterpret_cast<const BITMAPINFO*>(header.data());
        const int bitCount = info->bmiHeader.biBitCount;
        const int stride = ((bitmap->Width() * bitCount + 31) & ~31) / 8;
        EXPECT_EQ(imageSize, static_cast<DWORD>(stride * bitmap->Height()));
        if (bitmap == &mono) {
            EXPECT_EQ(headerSize, sizeof(BITMAPINFOHEADER) + 2 * sizeof(RGBQUAD));
            // Bottom-up: the first row is the bottom one, where pixel 8 is black.
            EXPECT_EQ(bits[1] & 0x80, 0);
            EXPECT_EQ(bits[0], 0xFF);
        } else {
            EXPECT_GT(bitCount, 8);
            EXPECT_EQ(headerSize, sizeof(BITMAPINFOHEADER));
        }
    }
}

TEST(CanvasLock, ExcludesASecondThreadUntilUnlocked)
{
    TBitmap bitmap;
    TCanvas& canvas = bitmap.Canvas();
    canvas.Lock();
    canvas.Lock(); // nests
    std::atomic<bool> tried{false};
    std::atomic<bool> triedResult{true};
    std::atomic<bool> entered{false};
    std::thread other([&] {
        triedResult = canvas.TryLock();
        tried = true;
        canvas.Lock();
        entered = true;
        canvas.Unlock();
    });
    while (!tried)
        std::this_thread::yield();
    EXPECT_FALSE(triedResult);
    canvas.Unlock();
    Sleep(50);
    EXPECT_FALSE(entered);
    canvas.Unlock();
    other.join();
    EXPECT_TRUE(entered);
}

} // namespace
