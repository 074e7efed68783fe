#pragma once

#include <windows.h>

#include <optional>

#include "framework/graphics/Canvas.h"
#include "framework/runtime/Handles.h"

// A canvas that draws into a bitmap selected into its own memory context,
// with a separate reference context for device metrics (the screen unless
// one is set). Subclasses name the bitmap.
class TMemoryCanvas : public TCanvas {
public:
    TMemoryCanvas() = default;
    ~TMemoryCanvas() override;

    // The reference context when one is set, else the screen's, taken on
    // first use and kept until FreeHandles.
    HDC GetReferenceDC();
    void SetReferenceDC(HDC dc) { referenceDC_ = dc; }

    // Selects the bitmap (none: leaves none selected).
    void SelectBitmap(HBITMAP bitmap);
    void RestorePreviousBitmap();
    // Lets go of the memory context and the screen context; may run again.
    void FreeHandles();

protected:
    // Makes the memory context with the font sized for the reference device
    // and the subclass's bitmap selected.
    void CreateHandle() override;
    virtual HBITMAP GetBitmapHandle() = 0;

private:
    HDC referenceDC_ = nullptr;
    std::optional<TMemoryDC> memoryDC_;
    std::optional<TSelectedObject> selectedBitmap_;
    std::optional<TWindowDC> screenDC_;
};

// The context that describes the device a canvas draws on: a memory
// canvas's reference context, the printer's context for the printer's
// canvas, else the canvas's own.
HDC ReferenceDCOf(TCanvas& canvas);
// True for the printer's canvas, and for canvases whose device is a printer
// or a plotter.
bool IsPrintingCanvas(TCanvas& canvas);
