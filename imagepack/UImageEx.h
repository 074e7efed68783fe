#pragma once

#include <cstdint>
#include <string_view>

#include "imagepack/UBitmapControl.h"

// Shows one image of its pack, stretched to the client area or, with
// KeepRatio, as large as fits with its aspect kept and centred; the brush
// fills the rest. With AutoSize it takes the size of the image.
class TImageEx : public TBitmapControl {
public:
    explicit TImageEx(TComponent* owner) : TBitmapControl(owner) {}

    static constexpr std::string_view kClassName = "TImageEx";
    std::string_view ClassName() const override { return kClassName; }

    std::int32_t ImageIndex() const { return imageIndex_; }
    void SetImageIndex(std::int32_t index);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);
    bool KeepRatio() const { return keepRatio_; }
    void SetKeepRatio(bool keepRatio);

    // Sizes the control to the image, keeping its left and top; does nothing
    // without AutoSize, while a layout is read, or without an image to show.
    void UpdateAutoSize();

    // The image first, then the brush around it: the image is never painted
    // over.
    void Paint(TCanvas& canvas) override;
    void Loaded() override;
    void DefineProperties(TProperties& properties) override;

protected:
    void ImagePackChanged() override;

private:
    std::int32_t imageIndex_ = 0;
    bool autoSize_ = false;
    bool keepRatio_ = true;
};
