#include <gtest/gtest.h>

#include <memory>

#include "framework/ui/CustomControl.h"
#include "tests/framework/graphics/GraphicsTestSupport.h"

namespace {

// A brush of a subclass's own kind: here one that starts out red.
class TRedBrush : public TBrush {
public:
    TRedBrush() { SetColor(clRed); }
};

class TOwnBrushControl : public TCustomControl {
public:
    explicit TOwnBrushControl(TComponent* owner) : TCustomControl(owner)
    {
        auto brush = std::make_unique<TRedBrush>();
        own = brush.get();
        ReplaceBrush(std::move(brush));
        SetBounds(0, 0, 6, 4);
    }

    std::string_view ClassName() const override { return "TOwnBrushControl"; }

    void Invalidate() override
    {
        ++invalidations;
        TCustomControl::Invalidate();
    }

    using TCustomControl::WndProc;

    TRedBrush* own = nullptr;
    int invalidations = 0;
};

TEST(CustomControlBrush, AReplacedBrushErasesAndPaintsTheBackground)
{
    TOwnBrushControl control(nullptr);
    EXPECT_EQ(&control.Brush(), control.own);
    EXPECT_EQ(control.Color(), clRed);

    TRenderTarget erased(6, 4, RGB(0, 0, 0));
    EXPECT_EQ(control.WndProc(WM_ERASEBKGND, reinterpret_cast<WPARAM>(erased.Dc()), 0), 1);
    EXPECT_EQ(erased.Pixel(5, 3), Rgb(RGB(255, 0, 0)));

    const int before = control.invalidations;
    control.own->SetColor(clBlue);
    EXPECT_GT(control.invalidations, before);
    TRenderTarget background(6, 4, RGB(0, 0, 0));
    control.PaintBackground(background.Dc());
    EXPECT_EQ(background.Pixel(0, 0), Rgb(RGB(0, 0, 255)));

    control.SetColor(clLime);
    EXPECT_EQ(control.own->Color(), clLime);
}

} // namespace
