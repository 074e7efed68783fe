#include <gtest/gtest.h>

#include "bitmap/UCanvas.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Printer.h"
#include "framework/runtime/Handles.h"
#include "tests/bitmap/BitmapTestSupport.h"

namespace {

// Draws into a 4 x 4 bitmap of the test's.
class TTestMemoryCanvas : public TMemoryCanvas {
public:
    TTestMemoryCanvas() : bitmap_(CreateBitmap(4, 4, 1, 32, nullptr)) {}
    ~TTestMemoryCanvas() override { FreeHandles(); }

    HBITMAP Bitmap() const { return bitmap_.Get(); }
    HBITMAP Selected() { return static_cast<HBITMAP>(GetCurrentObject(Handle(), OBJ_BITMAP)); }

protected:
    HBITMAP GetBitmapHandle() override { return bitmap_.Get(); }

private:
    TGdiObject<HBITMAP> bitmap_;
};

TEST(MemoryCanvas, DrawsIntoItsBitmapAndGivesItBackWhenItLetsGo)
{
    TTestMemoryCanvas canvas;
    EXPECT_EQ(canvas.Selected(), canvas.Bitmap());
    canvas.SetPixel(1, 2, clRed);
    const HDC memory = canvas.Handle();
    const HDC screen = canvas.GetReferenceDC();
    canvas.FreeHandles();
    EXPECT_EQ(GetObjectType(memory), 0u);
    // The screen's context cache hands the released context out again; a
    // second release of it by the canvas would take it from its new holder.
    const HDC taken = GetDC(nullptr);
    ASSERT_EQ(taken, screen);
    canvas.FreeHandles();
    EXPECT_EQ(ReleaseDC(nullptr, taken), 1);
    EXPECT_FALSE(canvas.HandleAllocated());
    // The bitmap is free again: another context can take it.
    TRenderTarget target(4, 4);
    target.Blit(canvas.Bitmap());
    EXPECT_EQ(target.Pixel(1, 2), Rgb(RGB(255, 0, 0)));
    EXPECT_EQ(canvas.Selected(), canvas.Bitmap());
}

TEST(MemoryCanvas, SelectingNoBitmapLeavesNoneSelected)
{
    TTestMemoryCanvas canvas;
    const HDC dc = canvas.Handle();
    canvas.SelectBitmap(nullptr);
    const HGDIOBJ own = canvas.Selected();
    EXPECT_NE(own, canvas.Bitmap());
    // With nothing selected through the canvas, restoring touches nothing,
    // not even a bitmap selected behind its back.
    SelectObject(dc, canvas.Bitmap());
    canvas.RestorePreviousBitmap();
    EXPECT_EQ(canvas.Selected(), canvas.Bitmap());
    SelectObject(dc, own);
    const TGdiObject<HBITMAP> other(CreateBitmap(2, 2, 1, 32, nullptr));
    canvas.SelectBitmap(other.Get());
    EXPECT_EQ(canvas.Selected(), other.Get());
    canvas.SelectBitmap(canvas.Bitmap());
    EXPECT_EQ(canvas.Selected(), canvas.Bitmap());
    canvas.RestorePreviousBitmap();
    EXPECT_NE(canvas.Selected(), canvas.Bitmap());
}

TEST(MemoryCanvas, SelectingBeforeTheContextExistsStillGivesTheContextsOwnBitmapBack)
{
    TTestMemoryCanvas canvas;
    const TGdiObject<HBITMAP> other(CreateBitmap(2, 2, 1, 32, nullptr));
    canvas.SelectBitmap(other.Get());
    EXPECT_EQ(canvas.Selected(), other.Get());
    canvas.RestorePreviousBitmap();
    // Back to the context's own bitmap, not the subclass's.
    const HGDIOBJ own = GetCurrentObject(canvas.Handle(), OBJ_BITMAP);
    EXPECT_NE(own, other.Get());
    EXPECT_NE(own, canvas.Bitmap());
}

TEST(MemoryCanvas, TheFontKeepsItsPointSizeOnTheReferenceDevice)
{
    TTestMemoryCanvas canvas;
    canvas.Font().SetPixelsPerInch(300);
    canvas.Font().SetSize(12);
    canvas.Handle();
    const HDC screen = canvas.GetReferenceDC();
    EXPECT_EQ(canvas.Font().PixelsPerInch(), GetDeviceCaps(screen, LOGPIXELSY));
    EXPECT_EQ(canvas.Font().Size(), 12);
    EXPECT_EQ(ReferenceDCOf(canvas), screen);
    EXPECT_EQ(canvas.GetReferenceDC(), screen);
}

TEST(PrintingCanvas, ThePrinterObjectsCanvasPrintsWindowsAndBitmapsDoNot)
{
    EXPECT_TRUE(IsPrintingCanvas(Printer().Canvas()));

    TBitmap bitmap;
    bitmap.SetSize(2, 2);
    EXPECT_FALSE(IsPrintingCanvas(bitmap.Canvas()));

    const HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    {
        const TWindowDC windowDC(window);
        TAttachedCanvas canvas(windowDC.Handle());
        EXPECT_FALSE(IsPrintingCanvas(canvas));
        EXPECT_EQ(ReferenceDCOf(canvas), windowDC.Handle());
    }
    DestroyWindow(window);

    TTestMemoryCanvas memory;
    EXPECT_FALSE(IsPrintingCanvas(memory));
}

} // namespace
