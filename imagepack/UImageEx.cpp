#include "imagepack/UImageEx.h"

#include "bitmap/UGraphicUtil.h"
#include "framework/graphics/Canvas.h"
#include "framework/runtime/Handles.h"
#include "framework/runtime/StartupMarks.h"

void TImageEx::SetImageIndex(std::int32_t index)
{
    if (index == imageIndex_)
        return;
    imageIndex_ = index;
    ImagePackChanged();
}

void TImageEx::SetAutoSize(bool autoSize)
{
    if (autoSize == autoSize_)
        return;
    autoSize_ = autoSize;
    UpdateAutoSize();
}

void TImageEx::SetKeepRatio(bool keepRatio)
{
    if (keepRatio == keepRatio_)
        return;
    keepRatio_ = keepRatio;
    Invalidate();
}

void TImageEx::ImagePackChanged()
{
    Invalidate();
    UpdateAutoSize();
}

void TImageEx::UpdateAutoSize()
{
    if (!autoSize_ || Loading())
        return;
    TImagePack* pack = ImagePack();
    if (!pack || pack->IsInvalidIndex(imageIndex_))
        return;
    SetWidth(pack->GetImageWidth(imageIndex_));
    SetHeight(pack->GetImageHeight(imageIndex_));
}

void TImageEx::Loaded()
{
    TBitmapControl::Loaded();
    // A pack that a layout names before the control may have announced its
    // images while the control was still being read.
    UpdateAutoSize();
}

void TImageEx::Paint(TCanvas& canvas)
{
    // What the paint step takes out of the clip region must not hide the
    // child controls drawn after it.
    const TSavedClipRegion clip(canvas.Handle());
    canvas.Brush().Assign(Brush());
    const RECT client = ClientRect();
    if (TImagePack* pack = ImagePack()) {
        RECT image = client;
        if (keepRatio_) {
            const RECT natural{0, 0, pack->GetImageWidth(imageIndex_), pack->GetImageHeight(imageIndex_)};
            image = FitRectCentered(natural, client);
        }
        if (!pack->IsInvalidIndex(imageIndex_) && canvas.IsRectVisible(image)) {
            pack->StretchDraw(canvas, image, imageIndex_);
            MarkStartup(TStartupMark::FirstImagePainted);
            canvas.ExcludeClipRect(image);
        }
    }
    if (canvas.IsRectVisible(client)) {
        canvas.RealizePalette();
        canvas.FillRect(client);
    }
}

void TImageEx::DefineProperties(TProperties& properties)
{
    TBitmapControl::DefineProperties(properties);
    properties.Integer("ImageIndex", [this] { return imageIndex_; }, [this](int v) { SetImageIndex(v); },
                       std::nullopt);
    properties.Boolean("AutoSize", [this] { return autoSize_; }, [this](bool v) { SetAutoSize(v); }, false);
    properties.Boolean("KeepRatio", [this] { return keepRatio_; }, [this](bool v) { SetKeepRatio(v); }, true);
}
