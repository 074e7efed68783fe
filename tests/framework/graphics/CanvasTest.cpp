#include <gtest/gtest.h>

#include "framework/graphics/BitmapSupport.h"
#include "framework/graphics/Canvas.h"
#include "tests/framework/graphics/GraphicsTestSupport.h"

namespace {

TEST(CanvasClip, AnExcludedRectangleIsLeftByLaterDrawing)
{
    TRenderTarget target(8, 8, RGB(0, 0, 0));
    {
        TAttachedCanvas canvas(target.Dc());
        const RECT hole{2, 2, 5, 5};
        ASSERT_TRUE(canvas.IsRectVisible(hole));
        canvas.ExcludeClipRect(hole);
        EXPECT_FALSE(canvas.IsRectVisible(hole));
        EXPECT_TRUE(canvas.IsRectVisible(RECT{0, 0, 3, 3}));
        canvas.Brush().SetColor(clWhite);
        canvas.FillRect(RECT{0, 0, 8, 8});
    }
    EXPECT_EQ(target.Pixel(1, 1), Rgb(RGB(255, 255, 255)));
    EXPECT_EQ(target.Pixel(2, 2), 0u);
    EXPECT_EQ(target.Pixel(4, 4), 0u);
    EXPECT_EQ(target.Pixel(5, 5), Rgb(RGB(255, 255, 255)));
}

TEST(PaletteColours, RoundTripThroughAPaletteAndCopiesAreIndependent)
{
    std::vector<RGBQUAD> colors;
    for (int i = 0; i < 300; ++i)
        colors.push_back(RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(i * 3), static_cast<BYTE>(255 - i), 7});
    HPALETTE palette = PaletteFromColors(colors);
    ASSERT_NE(palette, nullptr);
    // A palette holds at most 256 colours, and no reserved bits.
    const std::vector<RGBQUAD> back = PaletteColors(palette, 1000);
    ASSERT_EQ(back.size(), 256u);
    for (std::size_t i = 0; i < back.size(); ++i) {
        EXPECT_EQ(back[i].rgbBlue, colors[i].rgbBlue);
        EXPECT_EQ(back[i].rgbGreen, colors[i].rgbGreen);
        EXPECT_EQ(back[i].rgbRed, colors[i].rgbRed);
        EXPECT_EQ(back[i].rgbReserved, 0);
    }
    EXPECT_EQ(PaletteColors(palette, 3).size(), 3u);

    HPALETTE copy = CopyPalette(palette);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, palette);
    DeleteObject(palette);
    EXPECT_EQ(PaletteColors(copy, 256).size(), 256u);
    DeleteObject(copy);
    EXPECT_EQ(CopyPalette(nullptr), nullptr);
    EXPECT_EQ(PaletteFromColors({}), nullptr);
}

} // namespace
