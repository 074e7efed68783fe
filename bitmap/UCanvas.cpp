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
        screenDC_.emplace();
    return screenDC_->Handle();
}

void TMemoryCanvas::SelectBitmap(HBITMAP bitmap)
{
    // A context made here selects the subclass's bitmap first.
    const HDC dc = Handle();
    RestorePreviousBitmap();
    if (bitmap)
        selectedBitmap_.emplace(dc, bitmap);
}

void TMemoryCanvas::RestorePreviousBitmap()
{
    selectedBitmap_.reset();
}

void TMemoryCanvas::FreeHandles()
{
    if (memoryDC_) {
        RestorePreviousBitmap();
        SetHandle(nullptr);
        memoryDC_.reset();
    }
    screenDC_.reset();
}

void TMemoryCanvas::CreateHandle()
{
    memoryDC_.emplace();
    if (!*memoryDC_) {
        memoryDC_.reset();
        throw EOutOfResources();
    }
    SetHandle(memoryDC_->Handle());
    // The font keeps its size in points on the reference device.
    const int pixelsPerInch = GetDeviceCaps(GetReferenceDC(), LOGPIXELSY);
    if (pixelsPerInch != Font().PixelsPerInch()) {
        const int points = Font().Size();
        Font().SetPixelsPerInch(pixelsPerInch);
        Font().SetSize(points);
    }
    if (!selectedBitmap_)
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
