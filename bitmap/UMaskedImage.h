#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "bitmap/UDIB.h"
#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"

// A bitmap drawn with one colour transparent, without the platform's
// transparent blits: a one-bit mask, set where the source has the colour,
// and a prepared image, the source with those pixels white. The mask goes
// onto the destination with MERGEPAINT (opaque areas turn white), then the
// image with SRCAND (they take the picture; transparent areas keep the
// background). Both are cached until the owner invalidates them.
class TMaskedImage {
public:
    TMaskedImage() = default;
    virtual ~TMaskedImage() = default;
    TMaskedImage(const TMaskedImage&) = delete;
    TMaskedImage& operator=(const TMaskedImage&) = delete;

    // Copies both flags.
    virtual TMaskedImage& Assign(const TMaskedImage& other);
    // Rebuilds what is dirty: the mask, then the prepared image.
    virtual void Prepare(TBitmap& bitmap, TColor color) = 0;
    // Stretches the part source (in pixels of the prepared bitmap) into rect.
    // Leaves the canvas with copy mode SRCAND; the caller restores it.
    virtual void Draw(TCanvas& canvas, const RECT& rect, const RECT& source) = 0;
    virtual void BuildMask(TBitmap& bitmap, TColor color) = 0;
    // The bitmap becomes the mask; the prepared image must follow it.
    virtual void SetMask(TBitmap& bitmap) = 0;
    virtual void AssignMaskTo(TBitmap& bitmap) = 0;

    // The source changed: both must be rebuilt before the next draw.
    void Invalidate();
    bool MaskDirty() const { return maskDirty_; }
    bool ImageDirty() const { return imageDirty_; }

    // Makes the mask a monochrome device-dependent bitmap of the source's
    // size with a bit set for every source pixel of the colour (its top
    // byte, a flag, cleared).
    static void MakeMonoMask(TBitmap& source, TBitmap& mask, TColor color);

protected:
    // The source as a bitmap of its own in the format, without transparency,
    // whose canvas ORs what is drawn on it (SRCPAINT): the mask's white then
    // turns the transparent pixels white.
    static void StartPreparedImage(TBitmap& source, TBitmap& temporary, TPixelFormat format);

    bool maskDirty_ = false;
    bool imageDirty_ = false;
};

// Mask and prepared image as framework bitmaps, drawn with the canvas's
// stretch-draw.
class TMaskedImageNT final : public TMaskedImage {
public:
    TMaskedImageNT();

    // From another NT variant the images are shared; from the other variant
    // nothing can be taken, so everything is rebuilt.
    TMaskedImage& Assign(const TMaskedImage& other) override;
    void Prepare(TBitmap& bitmap, TColor color) override;
    void Draw(TCanvas& canvas, const RECT& rect, const RECT& source) override;
    void BuildMask(TBitmap& bitmap, TColor color) override;
    void SetMask(TBitmap& bitmap) override;
    void AssignMaskTo(TBitmap& bitmap) override;

private:
    TBitmap mask_;
    TBitmap image_;
};

// Mask and prepared image as DIBs, drawn with StretchDIBits, in one-row
// bands on printers that refuse the whole.
class TMaskedImage9x final : public TMaskedImage {
public:
    TMaskedImage9x();

    // From another 9x variant the pixels are shared; from the other variant
    // nothing can be taken, so everything is rebuilt.
    TMaskedImage& Assign(const TMaskedImage& other) override;
    void Prepare(TBitmap& bitmap, TColor color) override;
    void Draw(TCanvas& canvas, const RECT& rect, const RECT& source) override;
    void BuildMask(TBitmap& bitmap, TColor color) override;
    void SetMask(TBitmap& bitmap) override;
    void AssignMaskTo(TBitmap& bitmap) override;

private:
    std::unique_ptr<TDIB> mask_;
    std::unique_ptr<TDIB> image_;
};

// Mask rows in memory as MakeMonoMask fills them: 16-bit little-endian
// words, pixel x at bit 7 - x mod 8 of byte x div 8, rows zeroed before.
struct TMaskRows {
    std::uint16_t* words;
    int wordsPerRow;
};

// The direct scans of 8-, 24- and 32-bit sources through their scan lines;
// false, with nothing written, for any other format. The colour is
// 0x00BBGGRR.
bool ScanMaskRows(TBitmap& source, COLORREF color, const TMaskRows& rows);
// One GetPixel on the source's canvas per pixel, for any format.
void ProbeMaskRows(TBitmap& source, COLORREF color, const TMaskRows& rows);
