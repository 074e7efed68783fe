#include "imagepack/UImagePack.h"

#include <memory>
#include <string>

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/Metafile.h"
#include "framework/graphics/Picture.h"
#include "framework/runtime/Colors.h"
#include "framework/runtime/StringTable.h"
#include "resources/StringIds.h"

namespace {

// Sums and differences of coordinates wrap as 32-bit platform arithmetic
// does, instead of overflowing into undefined behaviour.
LONG Wrapped(std::int64_t value)
{
    return static_cast<std::int32_t>(value);
}

std::unique_ptr<TPicture> CreateErrorPicture()
{
    const std::string text = LoadStr(IDS_IMAGE_ERROR_PICTURE);

    RECT bounds{0, 0, 0, 0};
    {
        TBitmap measure;
        TCanvas& canvas = measure.Canvas();
        canvas.Brush().SetColor(clWhite);
        canvas.Font().SetColor(clRed);
        canvas.DrawText(text, bounds, DT_CALCRECT | DT_NOPREFIX | DT_NOCLIP | DT_CENTER);
    }

    auto picture = std::make_unique<TPicture>();
    TMetafile& metafile = picture->Metafile();
    metafile.SetWidth(bounds.right);
    metafile.SetHeight(bounds.bottom);
    {
        // The recording becomes the metafile's picture when the canvas goes.
        TMetafileCanvas canvas(metafile, nullptr);
        canvas.Brush().SetColor(clWhite);
        canvas.Font().SetColor(clRed);
        canvas.FillRect(bounds);
        canvas.DrawText(text, bounds, DT_NOPREFIX | DT_NOCLIP | DT_CENTER);
    }
    return picture;
}

} // namespace

TImagePack::TImagePack(TComponent* owner)
    : TComponent(owner), TDelegatedBroadcaster(broadcaster_), broadcaster_(this)
{
}

TImagePack::~TImagePack()
{
    UnlinkListenersOrTerminate();
}

void TImagePack::BeforeDestruction()
{
    TComponent::BeforeDestruction();
    UnlinkListeners();
}

void TImagePack::DefineProperties(TProperties& properties)
{
    TComponent::DefineProperties(properties);
    properties.Event("OnChange", OnChange);
}

void TImagePack::Changed()
{
    broadcaster_.Broadcast(this, NotifyPackChanged);
    OnChange(this);
}

void TImagePack::Refresh()
{
    broadcaster_.Broadcast(this, NotifyPackRefresh);
}

void TImagePack::SetCount(std::int32_t)
{
    throw EImagePack(LoadStr(IDS_IMAGE_PACK_COUNT_ERROR));
}

void TImagePack::SetImageRect(std::int32_t, const RECT&)
{
    throw EImagePack(LoadStr(IDS_IMAGE_PACK_RECT_ERROR));
}

std::int32_t TImagePack::GetImageLeft(std::int32_t index)
{
    return GetImageRect(index).left;
}

void TImagePack::SetImageLeft(std::int32_t index, std::int32_t value)
{
    RECT rect = GetImageRect(index);
    rect.right = Wrapped(std::int64_t{value} + rect.right - rect.left);
    rect.left = value;
    SetImageRect(index, rect);
}

std::int32_t TImagePack::GetImageTop(std::int32_t index)
{
    return GetImageRect(index).top;
}

void TImagePack::SetImageTop(std::int32_t index, std::int32_t value)
{
    RECT rect = GetImageRect(index);
    rect.bottom = Wrapped(std::int64_t{value} + rect.bottom - rect.top);
    rect.top = value;
    SetImageRect(index, rect);
}

std::int32_t TImagePack::GetImageWidth(std::int32_t index)
{
    const RECT rect = GetImageRect(index);
    return Wrapped(std::int64_t{rect.right} - rect.left);
}

void TImagePack::SetImageWidth(std::int32_t index, std::int32_t value)
{
    RECT rect = GetImageRect(index);
    rect.right = Wrapped(std::int64_t{rect.left} + value);
    SetImageRect(index, rect);
}

std::int32_t TImagePack::GetImageHeight(std::int32_t index)
{
    const RECT rect = GetImageRect(index);
    return Wrapped(std::int64_t{rect.bottom} - rect.top);
}

void TImagePack::SetImageHeight(std::int32_t index, std::int32_t value)
{
    RECT rect = GetImageRect(index);
    rect.bottom = Wrapped(std::int64_t{rect.top} + value);
    SetImageRect(index, rect);
}

void TImagePack::Draw(TCanvas& canvas, int x, int y, std::int32_t index)
{
    const RECT image = GetImageRect(index);
    const RECT target{x, y, Wrapped(std::int64_t{x} + image.right - image.left),
                      Wrapped(std::int64_t{y} + image.bottom - image.top)};
    StretchDraw(canvas, target, index);
}

void TImagePack::StretchDraw(TCanvas& canvas, const RECT& rect, std::int32_t index)
{
    try {
        TPicture picture;
        GetImageSafe(picture, index);
        if (TGraphic* graphic = picture.Graphic())
            canvas.StretchDraw(rect, *graphic);
    } catch (...) {
        DrawErrorPicture(canvas, rect);
    }
}

bool TImagePack::IsInvalidIndex(std::int32_t index)
{
    return index < 0 || index >= GetCount();
}

bool TImagePack::GetImageSafe(TPicture& picture, std::int32_t index)
{
    try {
        GetImage(picture, index);
        return true;
    } catch (...) {
        // Drawing code shows a failed image instead of passing the error on.
    }
    picture.Assign(ErrorPicture());
    return false;
}

void DrawErrorPicture(TCanvas& canvas, const RECT& rect) noexcept
{
    try {
        if (TGraphic* graphic = ErrorPicture().Graphic())
            canvas.StretchDraw(rect, *graphic);
    } catch (...) {
        // A canvas that cannot show even this shows nothing: painting goes on.
    }
}

const TPicture& ErrorPicture()
{
    // Made on first use, freed after main returns. Nothing can use it then:
    // its only users draw, drawing runs from the message loop or from code
    // that main calls, and no static object draws as it goes. Freeing it
    // deletes only its own metafile handle.
    static const std::unique_ptr<TPicture> picture = CreateErrorPicture();
    return *picture;
}
