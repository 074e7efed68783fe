// Runs on an 8-bit display (an Xvfb screen through Wine's X11 driver), where
// colours go through the system palette.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "bitmap/UGraphicUtil.h"
#include "bitmap/UPaletteUtil.h"
#include "framework/ui/Application.h"
#include "framework/ui/ReportedErrors.h"
#include "tests/framework/graphics/GraphicsTestSupport.h"
#include "imagepack/UMatrixImagePack.h"
#include "tests/imagepack/DisplaySupport.h"
#include "tests/imagepack/PictureResources.h"

namespace {

// Notes the palette selected while it paints; fails on request.
class TPaletteProbe : public TImageEx {
public:
    using TImageEx::TImageEx;
    using TImageEx::PaintWindow;

    void Paint(TCanvas& canvas) override
    {
        selected = GetCurrentObject(canvas.Handle(), OBJ_PAL);
        if (fail)
            throw std::runtime_error("paint failed");
        TImageEx::Paint(canvas);
    }

    HGDIOBJ selected = nullptr;
    bool fail = false;
};

TEST(DisplayOnPaletteScreen, PaintingHasTheDefaultPaletteSelectedAndGivesTheOldOneBackAlsoOnFailure)
{
    ASSERT_TRUE(IsPaletteScreen());
    TPaletteProbe probe(nullptr);
    TRenderTarget target(4, 4);
    HGDIOBJ own = GetCurrentObject(target.Dc(), OBJ_PAL);
    probe.PaintWindow(target.Dc());
    EXPECT_EQ(probe.selected, GetDefaultPalette());
    EXPECT_EQ(GetCurrentObject(target.Dc(), OBJ_PAL), own);

    probe.fail = true;
    probe.selected = nullptr;
    EXPECT_THROW(probe.PaintWindow(target.Dc()), std::runtime_error);
    EXPECT_EQ(probe.selected, GetDefaultPalette());
    EXPECT_EQ(GetCurrentObject(target.Dc(), OBJ_PAL), own);
}

TEST(DisplayOnPaletteScreen, AWindowPaintsWithTheDefaultPalette)
{
    std::vector<std::string> errors;
    Application().SetOnException(
        TExceptionEvent([&errors](TObject*, const std::exception& error) { errors.push_back(error.what()); }));
    {
        TTestForm form;
        auto* probe = new TPaletteProbe(&form);
        probe->SetParent(&form);
        probe->SetImagePack(new TTestPack(&form));
        form.Show();
        InvalidateRect(probe->Handle(), nullptr, FALSE);
        UpdateWindow(probe->Handle());
        EXPECT_EQ(probe->selected, GetDefaultPalette());
        TReportedErrors::HandleAll();
    }
    Application().SetOnException({});
    EXPECT_TRUE(errors.empty());
}

// A cell of a grid is a bitmap of 8 bits with the picture's colours, as the
// screen shows them best.
TEST(DisplayOnPaletteScreen, ACellOfAGridIsAnEightBitBitmapWithThePicturesPalette)
{
    const std::vector<COLORREF> colors{RGB(200, 10, 10), RGB(10, 200, 10), RGB(10, 10, 200)};
    TMatrixImagePack pack(nullptr);
    auto bitmap = std::make_unique<TSafetyBitmap>();
    LoadBytes(*bitmap, IndexedBitmapFile(30, 10, colors, [](int x, int) { return x / 10; }));
    pack.Image().ReplaceGraphic(std::move(bitmap));
    pack.SetCountCol(3);
    TPicture cell;
    pack.GetImage(cell, 1);
    auto* cellBitmap = dynamic_cast<TBitmap*>(cell.Graphic());
    ASSERT_NE(cellBitmap, nullptr);
    EXPECT_EQ(cellBitmap->PixelFormat(), TPixelFormat::Bit8);
    EXPECT_EQ(cellBitmap->Width(), 10);
    PALETTEENTRY entries[3];
    ASSERT_EQ(GetPaletteEntries(cellBitmap->Palette(), 0, 3, entries), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(RGB(entries[i].peRed, entries[i].peGreen, entries[i].peBlue), colors[i]);
    EXPECT_NE(cellBitmap->Palette(), pack.Image().Graphic()->Palette());
}

} // namespace
