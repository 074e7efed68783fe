#include "imagepack/UMatrixImagePack.h"

#include <algorithm>
#include <memory>

#include "bitmap/UGraphicUtil.h"
#include "bitmap/USafetyBitmap.h"
#include "framework/graphics/BitmapSupport.h"
#include "framework/graphics/Canvas.h"
#include "framework/runtime/StartupMarks.h"

TMatrixImagePack::TMatrixImagePack(TComponent* owner) : TImagePack(owner)
{
    image_.OnChange = TNotifyEvent([this](TObject*) { ImageChanged(); });
}

void TMatrixImagePack::ImageChanged()
{
    Changed();
}

void TMatrixImagePack::SetCountCol(std::int32_t count)
{
    if (count == countCol_)
        return;
    countCol_ = count;
    Changed();
}

void TMatrixImagePack::SetCountRow(std::int32_t count)
{
    if (count == countRow_)
        return;
    countRow_ = count;
    Changed();
}

std::int32_t TMatrixImagePack::GetCount()
{
    if (countCol_ <= 0 || countRow_ <= 0)
        return 0;
    // Counts as large as the grid's arithmetic takes, not their overflow.
    return static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{countCol_} * countRow_, INT32_MAX));
}

bool TMatrixImagePack::IsInvalidIndex(std::int32_t index)
{
    if (TImagePack::IsInvalidIndex(index))
        return true;
    const TGraphic* graphic = image_.Graphic();
    return !graphic || graphic->Empty();
}

RECT TMatrixImagePack::GetImageRect(std::int32_t index)
{
    if (IsInvalidIndex(index))
        return RECT{0, 0, 0, 0};
    const std::int32_t row = index / countCol_;
    if (row >= countRow_)
        return RECT{0, 0, 0, 0};
    const std::int32_t col = index % countCol_;
    const int width = image_.Width();
    const int height = image_.Height();
    return RECT{MulDiv(col, width, countCol_), MulDiv(row, height, countRow_), MulDiv(col + 1, width, countCol_),
                MulDiv(row + 1, height, countRow_)};
}

void TMatrixImagePack::GetImage(TPicture& picture, std::int32_t index)
{
    picture.SetGraphic(nullptr);
    const RECT cell = GetImageRect(index);
    if (IsRectDegenerate(cell))
        return;
    TGraphic& graphic = *image_.Graphic();
    if (countCol_ == 1 && countRow_ == 1) {
        picture.SetGraphic(&graphic);
        return;
    }
    auto bitmap = std::make_unique<TSafetyBitmap>();
    if (IsPaletteScreen()) {
        bitmap->SetPixelFormat(TPixelFormat::Bit8);
        if (HPALETTE palette = graphic.Palette())
            bitmap->SetPalette(CopyPalette(palette));
    }
    bitmap->SetSize(RectWidth(cell), RectHeight(cell));
    bitmap->Canvas().Draw(-cell.left, -cell.top, graphic);
    picture.ReplaceGraphic(std::move(bitmap));
}

void TMatrixImagePack::StretchDraw(TCanvas& canvas, const RECT& rect, std::int32_t index)
{
    const RECT cell = GetImageRect(index);
    auto* bitmap = dynamic_cast<TBitmap*>(image_.Graphic());
    if (!bitmap || IsRectDegenerate(cell)) {
        TImagePack::StretchDraw(canvas, rect, index);
        return;
    }
    try {
        StretchDrawPart(canvas, rect, *bitmap, cell);
    } catch (...) {
        DrawErrorPicture(canvas, rect);
    }
}

void TMatrixImagePack::Loaded()
{
    TImagePack::Loaded();
    if (imageLoader_.AutoLoad())
        imageLoader_.Load();
    MarkStartup(TStartupMark::FirstImagePackLoaded);
    imageLoader_.SetReady(true);
}

void TMatrixImagePack::BeforeDestruction()
{
    image_.BeforeDestruction();
    TImagePack::BeforeDestruction();
}

void TMatrixImagePack::DefineProperties(TProperties& properties)
{
    TImagePack::DefineProperties(properties);
    properties.Integer("CountCol", [this] { return countCol_; }, [this](std::int32_t v) { SetCountCol(v); }, 1);
    properties.Integer("CountRow", [this] { return countRow_; }, [this](std::int32_t v) { SetCountRow(v); }, 1);
    properties.Nested("Image", image_);
    properties.Nested("ImageLoader", imageLoader_);
}
