#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "framework/graphics/BitmapSupport.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/Graphic.h"

enum class TTransparentMode { Auto, Fixed };

// Set in the top byte of the colour TransparentColor answers; drawing code
// clears it.
constexpr TColor kTransparentColorFlag = 0x02000000;

class TBitmapImage;

// A bitmap: a device-independent section or a device-dependent bitmap, with a
// palette and a canvas to draw on. Assignment shares the image; the first
// change on either side gives that side its own copy.
class TBitmap : public TGraphic {
public:
    static constexpr std::string_view kClassName = "TBitmap";

    TBitmap();
    ~TBitmap() override;

    const TGraphicClass& GraphicClass() const override { return TGraphicClass::Of<TBitmap>(); }
    // From a bitmap: shares its image and takes its transparency settings.
    // From another graphic that knows how to become a bitmap: its picture.
    void Assign(const TPersistent& source) override;
    // True for bitmaps that share one image, and for equal stream forms.
    bool Equals(const TGraphic& other) const override;
    // True when both hold one image: assignment shares it until either side
    // changes.
    bool SharesImageWith(const TBitmap& other) const { return image_ == other.image_; }

    bool Empty() const override;
    int Width() const override;
    int Height() const override;
    // Resizing keeps the top-left part of the picture; new area is white.
    void SetWidth(int width);
    void SetHeight(int height);
    void SetSize(int width, int height);
    // The whole bitmap, through DrawPart.
    void Draw(TCanvas& canvas, const RECT& rect) override;
    // Stretches the part of the bitmap (in its pixels) into rect.
    void DrawPart(TCanvas& canvas, const RECT& rect, const RECT& part) override;

    // The bitmap keeps ownership. Since the caller may draw into the handle,
    // asking for it ends sharing and frees the canvas's context. 0 when empty.
    HBITMAP Handle();
    bool HandleAllocated() const;
    // Takes ownership of the handle (0 empties the bitmap).
    void SetHandle(HBITMAP handle);
    // Gives up ownership; the bitmap is empty afterwards.
    HBITMAP ReleaseHandle();

    TBitmapHandleType HandleType() const;
    void SetHandleType(TBitmapHandleType type);
    // Device for device-dependent bitmaps; Custom for bit-field layouts that
    // none of the other formats names.
    TPixelFormat PixelFormat() const;
    void SetPixelFormat(TPixelFormat format);
    bool Monochrome() const;
    void SetMonochrome(bool monochrome);
    HPALETTE Palette() const override;
    // Takes ownership; a bitmap with a colour table takes the colours too.
    void SetPalette(HPALETTE palette);

    TTransparentMode TransparentMode() const;
    // Auto forgets a fixed colour; Fixed keeps the colour now in effect.
    void SetTransparentMode(TTransparentMode mode);
    // The fixed colour or, in automatic mode, the bottom-left pixel (white
    // for a monochrome bitmap), with kTransparentColorFlag set.
    TColor TransparentColor() const;
    // clDefault means automatic; any other colour fixes it.
    void SetTransparentColor(TColor color);
    // The colour as it was fixed, a system colour still as that one;
    // clDefault in automatic mode.
    TColor FixedTransparentColor() const { return transparentColor_; }

    // Row 0 is the top row. Turns a device-dependent bitmap into a section
    // first and ends sharing, since the caller may write.
    void* ScanLine(int row);
    // Its context holds the image and keeps what the caller sets on it (a
    // mapping, say) while the image stays: Draw reads the bitmap through this
    // context, and copying the image for another bitmap that shares it leaves
    // the context alone.
    TCanvas& Canvas();

    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) const override;
    // A bitmap resource; names match without regard to case.
    void LoadFromResourceName(HINSTANCE instance, const std::string& name);
    void LoadFromResourceID(HINSTANCE instance, int id);
    // CF_DIB (a packed bitmap in global memory) and CF_BITMAP (a bitmap
    // handle, with the palette given).
    void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) override;
    // A 32-bit length, then the stream form.
    void ReadData(TStream& stream) override;
    void WriteData(TStream& stream) const override;

private:
    class TOwnCanvas;

    TOwnCanvas& OwnCanvas() const;
    void ReplaceImage(std::shared_ptr<TBitmapImage> image);
    // Gives this bitmap an image of its own before a change.
    void Unshare();
    void Convert(int width, int height, TPixelFormat format, TBitmapHandleType type, bool monochrome);
    void LoadFromPackedDib(const void* dib, std::size_t size);

    std::shared_ptr<TBitmapImage> image_;
    // Declared after the image: the canvas lets go of it first.
    mutable std::unique_ptr<TOwnCanvas> canvas_;
    TColor transparentColor_ = clDefault;
};
