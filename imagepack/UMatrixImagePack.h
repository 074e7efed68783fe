#pragma once

#include <cstdint>
#include <string_view>

#include "imagepack/UImagePack.h"
#include "imagepack/UPictureEX.h"
#include "imagepack/UResourceImageLoader.h"

// An image pack that cuts one picture into CountCol x CountRow cells of equal
// size (to a pixel, by rounding), numbered row by row from the top left.
// The picture usually comes from a resource through ImageLoader, which loads
// once the pack has been read from its layout.
//
// A count of zero or below makes an empty grid: no image is valid.
class TMatrixImagePack : public TImagePack {
public:
    explicit TMatrixImagePack(TComponent* owner);

    static constexpr std::string_view kClassName = "TMatrixImagePack";
    std::string_view ClassName() const override { return kClassName; }

    TPictureEx& Image() { return image_; }
    // Takes the picture's content; the pack keeps its own picture.
    void SetImage(const TPicture& picture) { image_.Assign(picture); }
    TResourceImageLoader& ImageLoader() { return imageLoader_; }
    // Takes the loader's resource.
    void SetImageLoader(const TResourceImageLoader& loader) { imageLoader_.Assign(loader); }
    std::int32_t CountCol() const { return countCol_; }
    void SetCountCol(std::int32_t count);
    std::int32_t CountRow() const { return countRow_; }
    void SetCountRow(std::int32_t count);

    std::int32_t GetCount() override;
    // Empty for an invalid index.
    RECT GetImageRect(std::int32_t index) override;
    // With one cell a copy of the whole graphic, of its kind; otherwise a
    // bitmap of the cell, of 8 bits with the picture's palette on palette
    // screens. Empty for an invalid index.
    void GetImage(TPicture& picture, std::int32_t index) override;
    // A bitmap picture draws the cell straight from itself; a draw that
    // fails shows the error picture.
    void StretchDraw(TCanvas& canvas, const RECT& rect, std::int32_t index) override;
    // Also true while the pack has no picture.
    bool IsInvalidIndex(std::int32_t index) override;

    // Loads the picture (with AutoLoad) and makes the loader ready.
    void Loaded() override;
    void DefineProperties(TProperties& properties) override;

protected:
    // The picture's destroying step, then the pack's.
    void BeforeDestruction() override;

private:
    void ImageChanged();

    // Declared in this order, the loader goes before the picture it fills.
    TPictureEx image_;
    TResourceImageLoader imageLoader_{image_};
    std::int32_t countCol_ = 1;
    std::int32_t countRow_ = 1;
};
