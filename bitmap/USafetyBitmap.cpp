#include "bitmap/USafetyBitmap.h"

#include <cstdint>

#include "bitmap/UCanvas.h"
#include "bitmap/UDIB.h"
#include "bitmap/UGraphicUtil.h"
#include "container/UZLIB.h"
#include "framework/graphics/BitmapFile.h"
#include "framework/graphics/Picture.h"
#include "framework/runtime/FlagScope.h"
#include "framework/runtime/ProgramStart.h"
#include "framework/runtime/Streams.h"

namespace {

// What a draw changes on its destination: the canvas's copy mode and the
// context's background and text colours, put back in that order.
class TDestinationColors {
public:
    TDestinationColors(TCanvas& canvas, HDC dc)
        : canvas_(canvas), dc_(dc), copyMode_(canvas.CopyMode()), background_(GetBkColor(dc)), text_(GetTextColor(dc))
    {
    }
    ~TDestinationColors()
    {
        canvas_.SetCopyMode(copyMode_);
        SetBkColor(dc_, background_);
        SetTextColor(dc_, text_);
    }
    TDestinationColors(const TDestinationColors&) = delete;
    TDestinationColors& operator=(const TDestinationColors&) = delete;

private:
    TCanvas& canvas_;
    HDC dc_;
    DWORD copyMode_;
    COLORREF background_;
    COLORREF text_;
};

std::unique_ptr<TMaskedImage> MaskedImageOfThisFamily()
{
    if (IsWinNT())
        return std::make_unique<TMaskedImageNT>();
    return std::make_unique<TMaskedImage9x>();
}

} // namespace

TSafetyBitmap::TSafetyBitmap() : maskedImage_(MaskedImageOfThisFamily()) {}

TSafetyBitmap::~TSafetyBitmap() = default;

void TSafetyBitmap::Changed(TObject* sender)
{
    TBitmap::Changed(sender);
    if (!assigning_)
        maskedImage_->Invalidate();
}

void TSafetyBitmap::Assign(const TPersistent& source)
{
    const auto* safety = dynamic_cast<const TSafetyBitmap*>(&source);
    if (!safety) {
        AssignBitmap(source);
        return;
    }
    if (safety == this)
        return;
    const TFlagScope assigning(assigning_);
    AssignBitmap(source);
    maskedImage_->Assign(*safety->maskedImage_);
}

void TSafetyBitmap::AssignBitmap(const TPersistent& source)
{
    const auto* bitmap = dynamic_cast<const TBitmap*>(&source);
    if (!bitmap || !Equals(*bitmap)) {
        TBitmap::Assign(source);
        return;
    }
    SetTransparent(bitmap->Transparent());
    SetTransparentMode(bitmap->TransparentMode());
    // The colour as it was fixed: a system colour stays one.
    if (TransparentMode() == TTransparentMode::Fixed)
        SetTransparentColor(bitmap->FixedTransparentColor());
}

bool TSafetyBitmap::Equals(const TGraphic& other) const
{
    if (const auto* bitmap = dynamic_cast<const TBitmap*>(&other))
        return SharesImageWith(*bitmap);
    return TBitmap::Equals(other);
}

void TSafetyBitmap::DrawPart(TCanvas& canvas, const RECT& rect, const RECT& part)
{
    const HDC dc = canvas.Handle();
    const TDestinationColors kept(canvas, dc);
    SetBkColor(dc, RGB(255, 255, 255));
    SetTextColor(dc, RGB(0, 0, 0));
    if (Transparent()) {
        PrepareMask();
        maskedImage_->Draw(canvas, rect, part);
    } else if (IsPrintingCanvas(canvas)) {
        DrawToPrinter(canvas, rect, part);
    } else {
        TBitmap::DrawPart(canvas, rect, part);
    }
}

void TSafetyBitmap::PrepareMask()
{
    if (Transparent())
        maskedImage_->Prepare(*this, TransparentColor());
}

void TSafetyBitmap::DrawToPrinter(TCanvas& canvas, const RECT& rect, const RECT& part)
{
    if (IsWinNT()) {
        const TCanvasLock lock(Canvas());
        TBitmap::DrawPart(canvas, rect, part);
        return;
    }
    if (Empty())
        return;
    TDIB dib;
    dib.AssignFromBitmap(*this);
    dib.Draw(canvas, rect, part);
}

void TSafetyBitmap::LoadFromStream(TStream& stream)
{
    if (IsMainThread()) {
        // The toolkit's DIB code makes contexts, palettes and sections: the
        // main thread's work alone.
        TDIB dib;
        dib.LoadFromStream(stream);
        TBitmap loaded;
        dib.AssignTo(loaded);
        if (loaded.Empty() && dib.Width() != 0 && dib.Height() != 0)
            throw EOutOfResources();
        TakeImageOf(loaded);
        return;
    }
    std::int32_t declared = 0;
    if (!ReadContainerHeader(stream, declared)) {
        TBitmap::LoadFromStream(stream);
        return;
    }
    CheckContainerDeclaredSize(declared);
    TMemoryStream inflated;
    DecompressContainer(stream, inflated, declared);
    inflated.SetPosition(0);
    TBitmap::LoadFromStream(inflated);
}

void TSafetyBitmap::TakeImageOf(TBitmap& loaded)
{
    loaded.SetTransparent(Transparent());
    loaded.SetTransparentColor(FixedTransparentColor());
    TBitmap::Assign(loaded);
}

TSafetyBitmapRegistration::TSafetyBitmapRegistration()
{
    const TGraphicClass& safetyBitmap = TGraphicClass::Of<TSafetyBitmap>();
    TPicture::RegisterFileFormat("BMP", "Bitmaps", safetyBitmap);
    TPicture::RegisterFileFormat("CBM", "Compressed Bitmaps", safetyBitmap);
    TPicture::RegisterClipboardFormat(CF_DIB, safetyBitmap);
}

TSafetyBitmapRegistration::~TSafetyBitmapRegistration()
{
    TPicture::UnregisterGraphicClass(TGraphicClass::Of<TSafetyBitmap>());
}
