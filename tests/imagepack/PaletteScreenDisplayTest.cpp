// Runs on an 8-bit display (an Xvfb screen through Wine's X11 driver), where
// colours go through the system palette.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "bitmap/UGraphicUtil.h"
#include "bitmap/UPaletteUtil.h"
#include "framework/ui/Application.h"
#include "tests/framework/graphics/GraphicsTestSupport.h"
#include "tests/imagepack/DisplaySupport.h"

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
    }
    Application().SetOnException({});
    EXPECT_TRUE(errors.empty());
}

} // namespace
