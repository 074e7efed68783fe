// The 9x-family paths of the toolkit. Where the 32-bit build runs, CTest runs
// this program in a Wine prefix that poses as Windows 98, so the platform
// itself reports the 9x family; elsewhere ZELMORIA_9X_SEAM asks for the
// platform identifier to be set through the program-start seam.

#include <gtest/gtest.h>

#include "bitmap/UDIB.h"
#include "bitmap/UGraphicUtil.h"
#include "framework/runtime/ProgramStart.h"
#include "tests/bitmap/BitmapTestSupport.h"
#include "tests/support/Win9xFamily.h"

namespace {

[[maybe_unused]] testing::Environment* const family = testing::AddGlobalTestEnvironment(new T9xFamily);

using Header = TBitmapFileKind::Header;

TEST(Platform9x, TheFamilyIsThe9xFamily)
{
    EXPECT_EQ(PlatformId(), static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS));
    EXPECT_FALSE(IsWinNT());
}

struct TExpectedFormat {
    TBitmapFileKind kind;
    TPixelFormat format;
};

class AssignTo9x : public testing::TestWithParam<TExpectedFormat> {};

TEST_P(AssignTo9x, DrawsIntoABitmapOfTheMatchingFormatWithTheSamePixels)
{
    const TExpectedFormat& expected = GetParam();
    const Bytes file = MakeBitmapFile(expected.kind, 9, 6);
    TDIB dib;
    LoadBytes(dib, file);
    TBitmap bitmap;
    dib.AssignTo(bitmap);
    EXPECT_EQ(bitmap.PixelFormat(), expected.format);
    EXPECT_EQ(bitmap.Width(), 9);
    EXPECT_EQ(bitmap.Height(), 6);
    EXPECT_EQ(Rendered(bitmap), DrawnByPlatform(file, 9, 6));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, AssignTo9x,
    testing::Values(TExpectedFormat{{"info1", Header::Info, 1}, TPixelFormat::Bit1},
                    TExpectedFormat{{"info4", Header::Info, 4}, TPixelFormat::Bit4},
                    TExpectedFormat{{"info8", Header::Info, 8}, TPixelFormat::Bit8},
                    TExpectedFormat{{"core8", Header::Core, 8}, TPixelFormat::Bit8},
                    TExpectedFormat{{"info16", Header::Info, 16}, TPixelFormat::Bit24},
                    TExpectedFormat{{"info24", Header::Info, 24}, TPixelFormat::Bit24},
                    TExpectedFormat{{"info32", Header::Info, 32}, TPixelFormat::Bit24},
                    TExpectedFormat{{"rle8", Header::Info, 8, BI_RLE8}, TPixelFormat::Bit8},
                    // Top-down rows become an upright bitmap of the same rows.
                    TExpectedFormat{{"topdown24", Header::Info, 24, BI_RGB, true}, TPixelFormat::Bit24}),
    [](const testing::TestParamInfo<TExpectedFormat>& info) { return info.param.kind.name; });

TEST(AssignTo9xPalette, AnEightBitBitmapGetsAPaletteOfItsColourTable)
{
    const Bytes file = MakeBitmapFile({"info8used16", Header::Info, 8, BI_RGB, false, 16}, 4, 4);
    TDIB dib;
    LoadBytes(dib, file);
    TBitmap bitmap;
    dib.AssignTo(bitmap);
    ASSERT_NE(bitmap.Palette(), nullptr);
    PALETTEENTRY entries[16];
    ASSERT_EQ(GetPaletteEntries(bitmap.Palette(), 0, 16, entries), 16u);
    const RGBQUAD* table = dib.Header().ColorTable();
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(entries[i].peRed, table[i].rgbRed);
        EXPECT_EQ(entries[i].peGreen, table[i].rgbGreen);
        EXPECT_EQ(entries[i].peBlue, table[i].rgbBlue);
    }
}

} // namespace
