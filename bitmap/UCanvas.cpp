#include "bitmap/UCanvas.h"

#include "framework/graphics/Graphic.h"
#include "framework/graphics/Printer.h"

TMemoryCanvas::~TMemoryCanvas()
{
    FreeHandles();
}

HDC TMemoryCanvas::GetReferenceDC()
{
    if (referenceDC_)
        return referenceDC_;
    if (!screenDC_)
        screenDC_ = GetDC(nullptr);
    return screenDC_;
}

void TMemoryCanvas::SelectBitmap(HBITMAP bitmap)
{
    // A context made here selects the subclass's bitmap first.
    const HDC dc = Handle();
    RestorePreviousBitmap();
    if (bitmap)
        previousBitmap_ = SelectObject(dc, bitmap);
}

void TMemoryCanvas::RestorePreviousBitmap()
{
    if (!previousBitmap_)
        return;
    SelectObject(memoryDC_, previousBitmap_);
    previousBitmap_ = nullptr;
}

void TMemoryCanvas::FreeHandles()
{
    if (memoryDC_) {
        RestorePreviousBitmap();
        SetHandle(nullptr);
        DeleteDC(memoryDC_);
        memoryDC_ = nullptr;
    }
    if (screenDC_) {
        ReleaseDC(nullptr, screenDC_);
        screenDC_ = nullptr;
    }
}

void TMemoryCanvas::CreateHandle()
{
    memoryDC_ = CreateCompatibleDC(nullptr);
    if (!memoryDC_)
        throw EOutOfResources();
    SetHandle(memoryDC_);
    // The font keeps its size in points on the reference device.
    const int pixelsPerInch = GetDeviceCaps(GetReferenceDC(), LOGPIXELSY);
    if (pixelsPerInch != Font().PixelsPerInch()) {
        const int points = Font().Size();
        Font().SetPixelsPerInch(pixelsPerInch);
        Font().SetSize(points);
    }
    if (!previousBitmap_)
        SelectBitmap(GetBitmapHandle());
}

HDC ReferenceDCOf(TCanvas& canvas)
{
    if (auto* memory = dynamic_cast<TMemoryCanvas*>(&canvas))
        return memory->GetReferenceDC();
    if (&canvas == &Printer().Canvas())
        return Printer().Handle();
    return canvas.Handle();
}

bool IsPrintingCanvas(TCanvas& canvas)
{
    if (&canvas == &Printer().Canvas())
        return true;
    const int technology = GetDeviceCaps(ReferenceDCOf(canvas), TECHNOLOGY);
    return technology == DT_PLOTTER || technology == DT_RASPRINTER;
}
