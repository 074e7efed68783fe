#pragma once

#include <windows.h>

#include <memory>
#include <string_view>

#include "bitmap/UMaskedImage.h"
#include "framework/graphics/Bitmap.h"

// The bitmap the whole system loads and draws in place of the framework's:
// - on the main thread, bitmap data (plain or in the compressed container)
//   is read by the toolkit's DIB code and becomes a DIB section on NT-family
//   systems and a framework bitmap of the matching format on 9x-family
//   systems; other threads take the framework's reader, container unpacked
//   first. Form data and clipboard DIBs (CF_DIB) reach the same loading
//   through the framework's ReadData and LoadFromClipboardFormat, which
//   honour the stored length and need no pixel offset.
// - transparent drawing goes through a cached masked image of the family's
//   variant;
// - opaque drawing on a printer goes through StretchDIBits, in one-row bands
//   where the printer refuses the whole, on 9x-family systems;
// - every draw gives the destination a white background and black text for
//   its length (a monochrome bitmap then shows set bits white, clear bits
//   black) and puts back its copy mode and both colours afterwards.
class TSafetyBitmap : public TBitmap {
public:
    static constexpr std::string_view kClassName = "TSafetyBitmap";

    TSafetyBitmap();
    ~TSafetyBitmap() override;

    const TGraphicClass& GraphicClass() const override { return TGraphicClass::Of<TSafetyBitmap>(); }
    // From another safety bitmap the mask and prepared image come along with
    // the picture. From a bitmap that already shares this one's image only
    // the transparency settings are taken.
    void Assign(const TPersistent& source) override;
    // Every way of drawing (transparent, printer, plain) shows exactly the
    // part; Draw is the whole.
    void DrawPart(TCanvas& canvas, const RECT& rect, const RECT& part) override;
    // For bitmaps: true exactly when both share one image.
    bool Equals(const TGraphic& other) const override;
    // A failed load leaves the bitmap as it was.
    void LoadFromStream(TStream& stream) override;

    // Brings the masked image up to date when the bitmap is transparent.
    void PrepareMask();
    // On 9x-family systems through a DIB and StretchDIBits only; on NT-family
    // systems the framework's drawing, with this bitmap's canvas locked.
    void DrawToPrinter(TCanvas& canvas, const RECT& rect, const RECT& part);

    TMaskedImage& MaskedImage() { return *maskedImage_; }

protected:
    // Every change but an assignment from another safety bitmap makes the
    // masked image dirty.
    void Changed(TObject* sender) override;

private:
    void AssignBitmap(const TPersistent& source);
    // The loaded picture in one change; the transparency settings stay.
    void TakeImageOf(TBitmap& loaded);

    std::unique_ptr<TMaskedImage> maskedImage_;
    bool assigning_ = false;
};

// Makes TSafetyBitmap the picture class of bitmap files ("BMP", "Bitmaps"),
// compressed bitmap files ("CBM", "Compressed Bitmaps") and clipboard DIBs
// for its lifetime, so every bitmap a picture loads becomes one. The
// program's entry holds one for the whole run.
class TSafetyBitmapRegistration {
public:
    TSafetyBitmapRegistration();
    ~TSafetyBitmapRegistration();
    TSafetyBitmapRegistration(const TSafetyBitmapRegistration&) = delete;
    TSafetyBitmapRegistration& operator=(const TSafetyBitmapRegistration&) = delete;
};
