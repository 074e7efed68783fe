// Runs on an 8-bit display (an Xvfb screen through Wine's X11 driver), where
// colours go through the system palette.

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <tuple>

#include "bitmap/UDIB.h"
#include "bitmap/UGraphicUtil.h"
#include "bitmap/UPaletteUtil.h"
#include "framework/graphics/BitmapSupport.h"
#include "framework/runtime/Handles.h"
#include "tests/bitmap/BitmapTestSupport.h"

namespace {

using Header = TBitmapFileKind::Header;

std::set<std::tuple<int, int, int>> SystemColours()
{
    const TWindowDC screen;
    PALETTEENTRY entries[256];
    const UINT count = GetSystemPaletteEntries(screen.Handle(), 0, 256, entries);
    std::set<std::tuple<int, int, int>> colours;
    for (UINT i = 0; i < count; ++i)
        colours.insert({entries[i].peRed, entries[i].peGreen, entries[i].peBlue});
    return colours;
}

TEST(PaletteScreen, IsRecognisedByItsDepth)
{
    EXPECT_EQ(ScreenBitsPerPixel(), 8);
    EXPECT_TRUE(IsPaletteScreen());
    const TWindowDC screen;
    EXPECT_TRUE(GetDeviceCaps(screen.Handle(), RASTERCAPS) & RC_PALETTE);
}

TEST(PaletteScreen, TheDefaultPaletteIsRealisedOnTheScreen)
{
    // Nothing in this program has asked for the default palette yet: its
    // first use realises it, which brings its colours into the system
    // palette.
    const TGdiObject<HPALETTE> halftone(CopyHalftonePalette());
    PALETTEENTRY entries[256];
    const UINT count = GetPaletteEntries(halftone.Get(), 0, 256, entries);
    auto present = [&] {
        const auto system = SystemColours();
        int found = 0;
        for (UINT i = 0; i < count; ++i)
            found += system.count({entries[i].peRed, entries[i].peGreen, entries[i].peBlue}) != 0;
        return found;
    };
    const int before = present();
    ASSERT_NE(GetDefaultPalette(), nullptr);
    EXPECT_GT(present(), before);
}

TEST(PaletteScreen, ACanvasRealisesThePaletteSelectedIntoItsContext)
{
    std::vector<RGBQUAD> colours;
    for (int i = 0; i < 8; ++i)
        colours.push_back(RGBQUAD{static_cast<BYTE>(3 + i), 77, 201, 0});
    const TGdiObject<HPALETTE> palette(PaletteFromColors(colours));
    const TWindowDC screen;
    TAttachedCanvas canvas(screen.Handle());
    const TSelectedPalette selected(screen.Handle(), palette.Get(), false);
    EXPECT_GT(canvas.RealizePalette(), 0u);
    EXPECT_EQ(SystemColours().count({201, 77, 5}), 1u);
}

// Bitmap data whose colours are static colours of the system palette, so
// that a palette device shows each exactly. With at most the first eight
// static colours, in order, the colour table is an identity palette: a
// colour's index in the table is its index on the device.
Bytes StaticColourFile(int colours)
{
    Bytes file = MakeBitmapFile({"info8", Header::Info, 8, BI_RGB, false, static_cast<DWORD>(colours)}, 8, 4);
    PALETTEENTRY statics[20];
    GetPaletteEntries(static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), 0, 20, statics);
    for (int i = 0; i < colours; ++i) {
        const PALETTEENTRY& e = statics[i < 8 ? i : i + 4];
        const std::uint8_t entry[4] = {e.peBlue, e.peGreen, e.peRed, 0};
        std::memcpy(&file[54 + 4 * i], entry, 4);
    }
    return file;
}

TEST(PaletteScreen, ADeviceBitmapMadeForAPaletteHeaderKeepsItsColours)
{
    const Bytes file = StaticColourFile(16);
    TDIB dib;
    LoadBytes(dib, file);
    {
        const TCompatibleDC dc(dib.Header());
        ASSERT_NE(dc.Palette(), nullptr);
        EXPECT_EQ(GetCurrentObject(dc.Handle(), OBJ_PAL), dc.Palette());
    }
    const TGdiObject<HBITMAP> device(dib.CreateCompatibleHandle());
    ASSERT_TRUE(device);
    BITMAP description{};
    GetObjectA(device.Get(), sizeof description, &description);
    EXPECT_EQ(description.bmBitsPixel, 8);

    TRenderTarget fromDevice(8, 4);
    fromDevice.Blit(device.Get());
    TRenderTarget fromPlatform(8, 4);
    fromPlatform.DrawFileData(file);
    EXPECT_EQ(fromDevice.Pixels(), fromPlatform.Pixels());
}

TEST(PaletteScreen, ADeviceBitmapIsExportedThroughItsPalette)
{
    const Bytes file = StaticColourFile(8);
    TBitmap bitmap;
    LoadBytes(bitmap, file);
    bitmap.SetHandleType(TBitmapHandleType::DDB);
    TDIB dib;
    dib.AssignFromBitmap(bitmap);
    TRenderTarget fromDib(8, 4);
    TAttachedCanvas canvas(fromDib.Dc());
    dib.DrawDirect(canvas, RECT{0, 0, 8, 4}, RECT{0, 0, 8, 4});
    TRenderTarget fromDevice(8, 4);
    fromDevice.Blit(bitmap.Handle());
    EXPECT_EQ(fromDib.Pixels(), fromDevice.Pixels());
    TRenderTarget fromPlatform(8, 4);
    fromPlatform.DrawFileData(file);
    EXPECT_EQ(fromDib.Pixels(), fromPlatform.Pixels());
}

} // namespace
