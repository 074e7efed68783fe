#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <tuple>
#include <vector>

#include "bitmap/UPaletteUtil.h"
#include "framework/graphics/BitmapSupport.h"
#include "framework/runtime/Handles.h"
#include "tests/bitmap/BitmapTestSupport.h"

namespace {

std::vector<PALETTEENTRY> Entries(HPALETTE palette)
{
    WORD count = 0;
    GetObjectA(palette, sizeof count, &count);
    std::vector<PALETTEENTRY> entries(count);
    GetPaletteEntries(palette, 0, count, entries.data());
    return entries;
}

std::tuple<int, int, int> EntryRgb(const PALETTEENTRY& e)
{
    return {e.peRed, e.peGreen, e.peBlue};
}

HPALETTE PaletteOf(const std::vector<PALETTEENTRY>& entries)
{
    std::vector<RGBQUAD> colors;
    for (const PALETTEENTRY& e : entries)
        colors.push_back(RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0});
    return PaletteFromColors(colors);
}

const std::vector<PALETTEENTRY> kStatic = Entries(static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)));

TEST(FillPalette, AHalftoneCopyGetsTheStaticColoursAtBothEndsAndNoRepeatedColour)
{
    ASSERT_EQ(kStatic.size(), 20u);
    const TGdiObject<HPALETTE> palette(CopyHalftonePalette());
    ASSERT_TRUE(FillPalette(palette.Get(), false, 256));
    const std::vector<PALETTEENTRY> filled = Entries(palette.Get());
    ASSERT_EQ(filled.size(), 256u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(EntryRgb(filled[i]), EntryRgb(kStatic[i])) << i;
        EXPECT_EQ(EntryRgb(filled[246 + i]), EntryRgb(kStatic[10 + i])) << i;
    }
    std::set<std::tuple<int, int, int>> appended;
    for (int i = 10; i < 246; ++i)
        EXPECT_TRUE(appended.insert(EntryRgb(filled[i])).second) << "colour " << i << " repeats";
    for (const PALETTEENTRY& e : kStatic)
        EXPECT_EQ(appended.count(EntryRgb(e)), 0u);
}

TEST(FillPalette, APalettesOwnColoursComeRightAfterTheBaseThenFillersNotYetPresent)
{
    const TGdiObject<HPALETTE> palette(PaletteOf({{10, 20, 30, 0}, {40, 50, 60, 0}}));
    ASSERT_TRUE(FillPalette(palette.Get(), false, 256));
    const std::vector<PALETTEENTRY> filled = Entries(palette.Get());
    ASSERT_EQ(filled.size(), 256u);
    EXPECT_EQ(EntryRgb(filled[10]), std::make_tuple(10, 20, 30));
    EXPECT_EQ(EntryRgb(filled[11]), std::make_tuple(40, 50, 60));
    // Fillers (0, 0, k) from k = 1, skipping colours the table holds.
    int k = 1;
    for (int i = 12; i < 246; ++i, ++k) {
        while (std::any_of(kStatic.begin(), kStatic.end(),
                           [&](const PALETTEENTRY& e) { return EntryRgb(e) == std::make_tuple(0, 0, k); }))
            ++k;
        EXPECT_EQ(EntryRgb(filled[i]), std::make_tuple(0, 0, k)) << i;
    }
}

TEST(FillPalette, ABlackAndWhiteBaseSplitsBetweenTheEnds)
{
    const TGdiObject<HPALETTE> palette(PaletteOf({{0, 0, 0, 0}, {7, 7, 7, 0}, {255, 255, 255, 0}}));
    ASSERT_TRUE(FillPalette(palette.Get(), true, 4));
    const std::vector<PALETTEENTRY> filled = Entries(palette.Get());
    ASSERT_EQ(filled.size(), 4u);
    EXPECT_EQ(EntryRgb(filled[0]), std::make_tuple(0, 0, 0));
    EXPECT_EQ(EntryRgb(filled[1]), std::make_tuple(7, 7, 7));
    EXPECT_EQ(EntryRgb(filled[2]), std::make_tuple(0, 0, 1));
    EXPECT_EQ(EntryRgb(filled[3]), std::make_tuple(255, 255, 255));
}

TEST(FillPalette, RefusesMoreThan256EntriesOrFewerThanTheBase)
{
    const TGdiObject<HPALETTE> palette(PaletteOf({{1, 2, 3, 0}}));
    EXPECT_FALSE(FillPalette(palette.Get(), false, 257));
    EXPECT_FALSE(FillPalette(palette.Get(), false, 19));
    EXPECT_FALSE(FillPalette(palette.Get(), true, 1));
    EXPECT_EQ(Entries(palette.Get()).size(), 1u);
}

TEST(ColorTables, RoundTripKeepsTheColoursAndClearsTheReservedBytes)
{
    std::vector<RGBQUAD> table(256);
    for (int i = 0; i < 256; ++i)
        table[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i * 7), 0x55};
    const TGdiObject<HPALETTE> palette(ColorTableToPalette(table.data(), 256));
    ASSERT_TRUE(palette);
    std::vector<RGBQUAD> back(256, RGBQUAD{1, 1, 1, 1});
    ASSERT_EQ(PaletteToColorTable(palette.Get(), back.data(), 256), 256);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(back[i].rgbBlue, table[i].rgbBlue);
        EXPECT_EQ(back[i].rgbGreen, table[i].rgbGreen);
        EXPECT_EQ(back[i].rgbRed, table[i].rgbRed);
        EXPECT_EQ(back[i].rgbReserved, 0);
    }
}

TEST(ColorTables, ATableTakesNoMoreEntriesThanItHolds)
{
    std::vector<RGBQUAD> table(256, RGBQUAD{9, 9, 9, 0});
    const TGdiObject<HPALETTE> palette(ColorTableToPalette(table.data(), 256));
    RGBQUAD small[3] = {{}, {}, {1, 2, 3, 4}};
    EXPECT_EQ(PaletteToColorTable(palette.Get(), small, 2), 2);
    EXPECT_EQ(small[2].rgbBlue, 1);
    EXPECT_EQ(small[2].rgbReserved, 4);
    EXPECT_EQ(PaletteToColorTable(nullptr, small, 2), 0);
    EXPECT_EQ(ColorTableToPalette(table.data(), 257), nullptr);
    EXPECT_EQ(ColorTableToPalette(table.data(), 0), nullptr);
}

Bytes RiffPalette(WORD count, DWORD dataSize, std::size_t entriesPresent)
{
    Bytes riff{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'P', 'A', 'L', ' ', 'd', 'a', 't', 'a'};
    for (int i = 0; i < 4; ++i)
        riff.push_back(static_cast<std::uint8_t>(dataSize >> (8 * i)));
    riff.insert(riff.end(), {0x00, 0x03, static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8)});
    for (std::size_t i = 0; i < entriesPresent; ++i)
        riff.insert(riff.end(), {static_cast<std::uint8_t>(i), 2, 3, 0});
    return riff;
}

HPALETTE Read(const Bytes& data)
{
    TMemoryStream stream = StreamOf(data);
    return ReadRiffPalette(stream);
}

TEST(RiffPalette, ReadsItsEntries)
{
    const TGdiObject<HPALETTE> palette(Read(RiffPalette(256, 1028, 256)));
    ASSERT_TRUE(palette);
    const std::vector<PALETTEENTRY> entries = Entries(palette.Get());
    ASSERT_EQ(entries.size(), 256u);
    EXPECT_EQ(EntryRgb(entries[200]), std::make_tuple(200, 2, 3));
}

TEST(RiffPalette, RefusesWhatItCannotHoldOrDoesNotHave)
{
    EXPECT_EQ(Read(RiffPalette(256, 1032, 257)), nullptr);  // data over 1,028 bytes
    EXPECT_EQ(Read(RiffPalette(257, 1028, 256)), nullptr);  // more than 256 entries
    EXPECT_EQ(Read(RiffPalette(10, 4 + 4 * 9, 9)), nullptr); // entries beyond the data
    EXPECT_EQ(Read(RiffPalette(3, 16, 2)), nullptr);        // data beyond the stream
    EXPECT_EQ(Read(RiffPalette(0, 4, 0)), nullptr);         // no entries
    Bytes wrongKind = RiffPalette(3, 16, 3);
    wrongKind[12] = 'x';
    EXPECT_EQ(Read(wrongKind), nullptr);
    const Bytes whole = RiffPalette(3, 16, 3);
    EXPECT_EQ(Read(Bytes(whole.begin(), whole.begin() + 19)), nullptr); // no complete RIFF head
}

TEST(RiffPalette, AResourceOfTheModuleLoadsAndAMissingOneIsNone)
{
    const TGdiObject<HPALETTE> palette(LoadPaletteResource(GetModuleHandleA(nullptr), "testpalette", "Palette"));
    ASSERT_TRUE(palette);
    const std::vector<PALETTEENTRY> entries = Entries(palette.Get());
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(EntryRgb(entries[2]), std::make_tuple(250, 128, 1));
    EXPECT_EQ(LoadPaletteResource(GetModuleHandleA(nullptr), "DefaultPalette", "Palette"), nullptr);
}

TEST(DefaultPalette, IsMadeOnceFromTheHalftoneColoursWithTheStaticColoursAtBothEnds)
{
    const HPALETTE palette = GetDefaultPalette();
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(GetDefaultPalette(), palette);
    const std::vector<PALETTEENTRY> entries = Entries(palette);
    ASSERT_EQ(entries.size(), 256u);
    EXPECT_EQ(EntryRgb(entries[0]), EntryRgb(kStatic[0]));
    EXPECT_EQ(EntryRgb(entries[255]), EntryRgb(kStatic[19]));
    const TGdiObject<HPALETTE> halftone(CopyHalftonePalette());
    const std::vector<PALETTEENTRY> halftoneEntries = Entries(halftone.Get());
    // Every halftone colour that is no static colour sits between the ends.
    std::set<std::tuple<int, int, int>> between;
    for (int i = 10; i < 246; ++i)
        between.insert(EntryRgb(entries[i]));
    for (const PALETTEENTRY& e : halftoneEntries) {
        const bool isStatic = std::any_of(kStatic.begin(), kStatic.end(),
                                          [&](const PALETTEENTRY& s) { return EntryRgb(s) == EntryRgb(e); });
        if (!isStatic) {
            EXPECT_EQ(between.count(EntryRgb(e)), 1u);
        }
    }
}

} // namespace
