#include <gtest/gtest.h>

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/BitmapFile.h"
#include "framework/graphics/DecodeLimit.h"
#include "framework/runtime/Handles.h"
#include "tests/framework/graphics/GraphicsTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

using Header = TBitmapFileKind::Header;

constexpr int kWidth = 13;
constexpr int kHeight = 7;

struct TLoadCase {
    TBitmapFileKind kind;
    TPixelFormat format;
    // Why Wine's file loader cannot serve as the reference for this kind:
    // it disagrees with the platform's own drawing of the same data.
    const char* loaderDefect = nullptr;
};

const char kCoreTable[] = "Wine's loader misreads core colour tables of 1 and 4 bits";
const char kBitFields[] = "Wine's loader drops 16-bit masks";
const char kTopDown[] = "Wine's loader leaves top-down bitmaps blank";

void PrintTo(const TLoadCase& loadCase, std::ostream* out)
{
    *out << loadCase.kind.name;
}

class BitmapFileKinds : public testing::TestWithParam<TLoadCase> {};

TEST_P(BitmapFileKinds, LoadAndDrawLikeThePlatform)
{
    const TLoadCase& loadCase = GetParam();
    TTempFolder folder;
    const std::string path = folder.File("case.bmp");
    const std::vector<std::uint8_t> file = MakeBitmapFile(loadCase.kind, kWidth, kHeight);
    WriteFile(path, file);

    TBitmap bitmap;
    bitmap.LoadFromFile(path);
    EXPECT_EQ(bitmap.Width(), kWidth);
    EXPECT_EQ(bitmap.Height(), kHeight);
    EXPECT_EQ(bitmap.PixelFormat(), loadCase.format);
    EXPECT_EQ(bitmap.HandleType(), TBitmapHandleType::DIB);

    const std::vector<DWORD> mine = Rendered(bitmap, RGB(1, 2, 3));
    EXPECT_EQ(mine, DrawnByPlatform(file, kWidth, kHeight)) << "the platform's drawing of the file data";
    if (loadCase.loaderDefect) {
        RecordProperty("platform_loader_not_compared", loadCase.loaderDefect);
        return;
    }
    const TGdiObject<HBITMAP> platform(static_cast<HBITMAP>(
        LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    ASSERT_TRUE(platform);
    TRenderTarget loaded(kWidth, kHeight, RGB(1, 2, 3));
    loaded.Blit(platform.Get());
    EXPECT_EQ(mine, loaded.Pixels()) << "the platform's file loader";
}

const DWORD k565[] = {0xF800, 0x07E0, 0x001F};
const DWORD k555[] = {0x7C00, 0x03E0, 0x001F};
const DWORD k888[] = {0xFF0000, 0x00FF00, 0x0000FF};

INSTANTIATE_TEST_SUITE_P(
    EveryHeaderAndDepth, BitmapFileKinds,
    testing::Values(
        TLoadCase{{"core1", Header::Core, 1}, TPixelFormat::Bit1, kCoreTable},
        TLoadCase{{"core4", Header::Core, 4}, TPixelFormat::Bit4, kCoreTable},
        TLoadCase{{"core8", Header::Core, 8}, TPixelFormat::Bit8},
        TLoadCase{{"core24", Header::Core, 24}, TPixelFormat::Bit24},
        TLoadCase{{"info1", Header::Info, 1}, TPixelFormat::Bit1},
        TLoadCase{{"info4", Header::Info, 4}, TPixelFormat::Bit4},
        TLoadCase{{"info8", Header::Info, 8}, TPixelFormat::Bit8},
        TLoadCase{{"info8_16colours", Header::Info, 8, BI_RGB, false, 16}, TPixelFormat::Bit8},
        TLoadCase{{"info16_555", Header::Info, 16}, TPixelFormat::Bit15},
        TLoadCase{{"info16_565_fields", Header::Info, 16, BI_BITFIELDS, false, 0, {k565, k565 + 3}},
                  TPixelFormat::Bit16, kBitFields},
        TLoadCase{{"info16_555_fields", Header::Info, 16, BI_BITFIELDS, false, 0, {k555, k555 + 3}},
                  TPixelFormat::Bit15},
        TLoadCase{{"info24", Header::Info, 24}, TPixelFormat::Bit24},
        TLoadCase{{"info24_with_advisory_table", Header::Info, 24, BI_RGB, false, 256}, TPixelFormat::Bit24},
        TLoadCase{{"info16_565_fields_with_advisory_table", Header::Info, 16, BI_BITFIELDS, false, 256, {k565, k565 + 3}},
                  TPixelFormat::Bit16, kBitFields},
        TLoadCase{{"info32_fields_with_advisory_table", Header::Info, 32, BI_BITFIELDS, false, 16, {k888, k888 + 3}},
                  TPixelFormat::Bit32},
        TLoadCase{{"info32", Header::Info, 32}, TPixelFormat::Bit32},
        TLoadCase{{"info32_fields", Header::Info, 32, BI_BITFIELDS, false, 0, {k888, k888 + 3}},
                  TPixelFormat::Bit32},
        TLoadCase{{"rle8", Header::Info, 8, BI_RLE8}, TPixelFormat::Bit8},
        TLoadCase{{"rle4", Header::Info, 4, BI_RLE4}, TPixelFormat::Bit4},
        TLoadCase{{"topdown8", Header::Info, 8, BI_RGB, true}, TPixelFormat::Bit8, kTopDown},
        TLoadCase{{"topdown24", Header::Info, 24, BI_RGB, true}, TPixelFormat::Bit24, kTopDown},
        TLoadCase{{"v5_24", Header::V5, 24}, TPixelFormat::Bit24},
        TLoadCase{{"v5_16_565_fields", Header::V5, 16, BI_BITFIELDS, false, 0, {k565, k565 + 3}},
                  TPixelFormat::Bit16, kBitFields}));

std::vector<DWORD> PixelsOfFile(const std::vector<std::uint8_t>& file)
{
    TBitmap bitmap;
    LoadBytes(bitmap, file);
    TRenderTarget target(bitmap.Width(), bitmap.Height());
    target.Draw(bitmap);
    return target.Pixels();
}

const TBitmapFileKind kEight{"info8", Header::Info, 8};

// The message of the invalid-image error that loading the file raised.
std::string ErrorOf(const Bytes& file)
{
    TBitmap bitmap;
    return MessageRaised<EInvalidGraphic>([&] { LoadBytes(bitmap, file); });
}

TEST(BitmapFile, ThePixelOffsetIsComputedWhenTheHeaderHasNone)
{
    std::vector<std::uint8_t> file = MakeBitmapFile(kEight, kWidth, kHeight);
    const std::vector<DWORD> expected = PixelsOfFile(file);
    std::fill(file.begin() + 10, file.begin() + 14, 0);
    EXPECT_EQ(PixelsOfFile(file), expected);
}

TEST(BitmapFile, AnOffsetPastTheTableSkipsTheGap)
{
    std::vector<std::uint8_t> file = MakeBitmapFile(kEight, kWidth, kHeight);
    const std::vector<DWORD> expected = PixelsOfFile(file);
    DWORD offset;
    std::memcpy(&offset, &file[10], 4);
    file.insert(file.begin() + offset, 6, 0xEE);
    offset += 6;
    std::memcpy(&file[10], &offset, 4);
    EXPECT_EQ(PixelsOfFile(file), expected);
}

TEST(BitmapFile, AStreamIsLeftRightAfterTheBitmap)
{
    const std::vector<std::uint8_t> first = MakeBitmapFile(kEight, kWidth, kHeight);
    const std::vector<std::uint8_t> second = MakeBitmapFile({"info24", Header::Info, 24}, 3, 2);
    std::vector<std::uint8_t> both = first;
    both.insert(both.end(), second.begin(), second.end());
    TMemoryStream stream = StreamOf(both);
    TBitmap bitmap;
    bitmap.LoadFromStream(stream);
    EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(first.size()));
    bitmap.LoadFromStream(stream);
    EXPECT_EQ(bitmap.Width(), 3);
    EXPECT_EQ(bitmap.Height(), 2);
}

TEST(BitmapFile, DataThatIsNoBitmapRaisesTheInvalidImageError)
{
    std::vector<std::uint8_t> file = MakeBitmapFile(kEight, kWidth, kHeight);
    file[0] = 'X';
    EXPECT_EQ(ErrorOf(file), "ビットマップイメージが不正です");
}

TEST(BitmapFile, DamagedHeadersAreRejected)
{
    auto rejects = [](std::size_t at, std::uint8_t value) {
        std::vector<std::uint8_t> file = MakeBitmapFile(kEight, kWidth, kHeight);
        file[at] = value;
        TBitmap bitmap;
        EXPECT_THROW(LoadBytes(bitmap, file), EInvalidGraphic) << "byte " << at << " = " << int(value);
    };
    rejects(14, 20);   // header size of no known kind
    rejects(28, 7);    // bit count
    rejects(26, 2);    // planes
    rejects(30, 9);    // compression
    rejects(47, 0x02); // 512 colours used: more than any table holds
    rejects(51, 0x02); // 512 colours important: more than the table holds
}

TEST(BitmapFile, ATruncatedBitmapRaisesTheReadError)
{
    std::vector<std::uint8_t> file = MakeBitmapFile(kEight, kWidth, kHeight);
    file.resize(file.size() - 5);
    TBitmap bitmap;
    EXPECT_THROW(LoadBytes(bitmap, file), EReadError);
}

TEST(BitmapFile, RunsThatLeaveTheImageAreClippedAndDamagedRunsEndTheDecoding)
{
    std::vector<std::uint8_t> file = MakeBitmapFile({"rle8", Header::Info, 8, BI_RLE8, false, 16}, 4, 3);
    DWORD offset;
    std::memcpy(&offset, &file[10], 4);
    // Bottom row: 200 pixels of index 7, clipped to 4. Next row: move 2
    // right, one pixel of 9, then a literal run claiming more bytes than
    // there are.
    const std::vector<std::uint8_t> runs = {200, 7, 0, 0, 0, 2, 2, 0, 1, 9, 0, 40, 1, 2};
    file.resize(offset);
    file.insert(file.end(), runs.begin(), runs.end());
    DWORD size = static_cast<DWORD>(runs.size());
    std::memcpy(&file[14 + 20], &size, 4);

    TBitmap bitmap;
    LoadBytes(bitmap, file);
    const auto* bottom = static_cast<const std::uint8_t*>(bitmap.ScanLine(2));
    const auto* middle = static_cast<const std::uint8_t*>(bitmap.ScanLine(1));
    EXPECT_EQ(std::vector<int>(bottom, bottom + 4), (std::vector<int>{7, 7, 7, 7}));
    EXPECT_EQ(std::vector<int>(middle, middle + 4), (std::vector<int>{0, 0, 9, 0}));
}

// A run-length file of the given size whose runs end at once: its pixels
// cost the reader only what the header declares.
std::vector<std::uint8_t> EmptyRunLengthFile(std::int32_t width, std::int32_t height)
{
    std::vector<std::uint8_t> file = MakeBitmapFile({"rle8", Header::Info, 8, BI_RLE8, false, 2}, 1, 1);
    DWORD offset;
    std::memcpy(&offset, &file[10], 4);
    file.resize(offset);
    file.push_back(0);
    file.push_back(1); // end of bitmap
    const DWORD runs = 2;
    std::memcpy(&file[18], &width, 4);
    std::memcpy(&file[22], &height, 4);
    std::memcpy(&file[34], &runs, 4);
    return file;
}

TEST(BitmapFile, ThePictureSizeIsHeldToTheDecodeLimitBeforeAnythingIsAllocated)
{
    EXPECT_EQ(ErrorOf(EmptyRunLengthFile(4096, 4096)), "no error");
    EXPECT_EQ(ErrorOf(EmptyRunLengthFile(4097, 4096)), PictureTooLargeMessage(4097, 4096));
    // Rows whose size wraps 32 bits: 2^29 + 1 pixels of 8 bits.
    EXPECT_EQ(ErrorOf(EmptyRunLengthFile((1 << 29) + 1, 1)), PictureTooLargeMessage((1 << 29) + 1, 1));
    // Run-length data declared longer than the file.
    std::vector<std::uint8_t> file = EmptyRunLengthFile(16, 16);
    const DWORD declared = 0x7FFFFFFF;
    std::memcpy(&file[34], &declared, 4);
    TBitmap bitmap;
    EXPECT_THROW(LoadBytes(bitmap, file), EReadError);
}

TEST(BitmapFile, MovesPastTheRightEdgeStayThereUntilTheRowEnds)
{
    std::vector<std::uint8_t> file = MakeBitmapFile({"rle8", Header::Info, 8, BI_RLE8, false, 16}, 4, 2);
    DWORD offset;
    std::memcpy(&offset, &file[10], 4);
    // Bottom row: moves of 255 to the right, far past the edge, then a run
    // that must land nowhere. Top row: four pixels of index 3.
    std::vector<std::uint8_t> runs;
    for (int i = 0; i < 1000; ++i)
        runs.insert(runs.end(), {0, 2, 255, 0});
    runs.insert(runs.end(), {5, 9, 0, 0, 4, 3, 0, 1});
    file.resize(offset);
    file.insert(file.end(), runs.begin(), runs.end());
    const DWORD size = static_cast<DWORD>(runs.size());
    std::memcpy(&file[14 + 20], &size, 4);

    TMemoryStream stream = StreamOf(file);
    const TDibImage image = ReadBitmapFile(stream);
    EXPECT_EQ(std::vector<int>(image.bits.begin(), image.bits.begin() + 4), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(std::vector<int>(image.bits.begin() + 4, image.bits.begin() + 8), (std::vector<int>{3, 3, 3, 3}));
}

TEST(BitmapFile, AFieldLayoutWithoutBitsForAColourIsRejected)
{
    const DWORD masks[] = {0xF800, 0x07E0, 0};
    TMemoryStream stream =
        StreamOf(MakeBitmapFile({"info16", Header::Info, 16, BI_BITFIELDS, false, 0, {masks, masks + 3}}, 3, 2));
    TBitmap bitmap;
    EXPECT_THROW(bitmap.LoadFromStream(stream), EInvalidGraphic);
}

TEST(BitmapFile, WritingAndReadingKeepsDepthMasksAndPixels)
{
    for (const TBitmapFileKind& kind : {TBitmapFileKind{"info4", Header::Info, 4},
                                        TBitmapFileKind{"info16_565", Header::Info, 16, BI_BITFIELDS, false, 0,
                                                        {k565, k565 + 3}}}) {
        SCOPED_TRACE(kind.name);
        TMemoryStream original = StreamOf(MakeBitmapFile(kind, kWidth, kHeight));
        const TDibImage read = ReadBitmapFile(original);
        TMemoryStream written;
        WriteBitmapFile(written, read);
        written.SetPosition(0);
        const TDibImage again = ReadBitmapFile(written);
        EXPECT_EQ(again.bitCount, read.bitCount);
        EXPECT_EQ(again.bitFields, read.bitFields);
        EXPECT_EQ(again.masks, read.masks);
        EXPECT_EQ(again.colors.size(), read.colors.size());
        EXPECT_EQ(again.bits, read.bits);
    }
}

} // namespace
