#pragma once

// The picture that bitmaps share and the canvas that holds it selected: the
// inner parts of TBitmap, for its own modules.

#include <windows.h>

#include <memory>
#include <optional>
#include <vector>

#include "framework/graphics/BitmapFile.h"
#include "framework/graphics/BitmapSupport.h"
#include "framework/graphics/Canvas.h"
#include "framework/runtime/Handles.h"

class TBitmapCanvas;

// The picture shared by bitmaps that were assigned from one another: the
// handle, its palette and a description of both. A bitmap that is about to
// change it while others share it makes itself a copy first.
class TBitmapImage {
public:
    TBitmapImage() = default;
    ~TBitmapImage();
    TBitmapImage(const TBitmapImage&) = delete;
    TBitmapImage& operator=(const TBitmapImage&) = delete;

    // A bitmap can be selected into one context at a time: the canvas that
    // holds this image lets go of it.
    void ReleaseSelection();
    // Takes ownership of the handle and describes it.
    void Adopt(HBITMAP bitmap);
    std::vector<RGBQUAD> ColorTable();
    // The section's header with its colour table or masks.
    TDibHeader SectionHeader();

    int width = 0;
    int height = 0;
    TPixelFormat format = TPixelFormat::Device;
    TBitmapHandleType type = TBitmapHandleType::DDB;
    bool monochrome = false;
    TGdiObject<HBITMAP> handle;
    TGdiObject<HPALETTE> palette;
    DIBSECTION section{};
    TBitmapCanvas* selectedIn = nullptr;
};

// The canvas of a bitmap: a memory context with the bitmap's image and
// palette selected, made on demand and given up whenever the image goes.
// The bitmap it belongs to says which image that is and hears of changes.
class TBitmapCanvas : public TCanvas {
public:
    ~TBitmapCanvas() override { FreeContext(); }

    void FreeContext();
    HDC Context() const { return context_ ? context_->Handle() : nullptr; }

protected:
    // The image the bitmap holds now.
    virtual TBitmapImage& BitmapImage() = 0;
    // A change to the canvas is a change to the bitmap, which first needs an
    // image of its own.
    virtual void BitmapChanging() = 0;
    virtual void BitmapChanged() = 0;

    void CreateHandle() override;
    void Changing() override;
    void Changed() override;

private:
    TBitmapImage* selected_ = nullptr;
    std::optional<TSelectedBitmap> context_;
};

// Takes ownership of the handle (none makes an empty image).
std::shared_ptr<TBitmapImage> AdoptedImage(HBITMAP handle);
// A section holding the read picture.
std::shared_ptr<TBitmapImage> ImageFromDib(const TDibImage& dib);
// A white image of the given shape; the palette is copied. Without area it
// holds only the shape, for the size that comes later.
std::shared_ptr<TBitmapImage> BlankImage(int width, int height, TPixelFormat format, TBitmapHandleType type,
                                         bool monochrome, HPALETTE palette);
// A copy of the top-left part of an image in another shape.
std::shared_ptr<TBitmapImage> ConvertedImage(TBitmapImage& source, int width, int height, TPixelFormat format,
                                             TBitmapHandleType type, bool monochrome);
// An exact copy: sections copy their bits, so no colour goes through a
// palette lookup.
std::shared_ptr<TBitmapImage> CopiedImage(TBitmapImage& source);
// A one-bit mask, set where the source shows the colour.
HBITMAP MakeTransparencyMask(HDC source, int width, int height, COLORREF color);

// The pixel format of the screen.
TPixelFormat ScreenFormat();
// True for exactly black and white, in that order.
bool IsBlackAndWhite(const std::vector<RGBQUAD>& colors);
