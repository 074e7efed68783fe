#pragma once

#include <cstdint>
#include <vector>

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Graphic.h"

// A JPEG picture: the compressed data as loaded, and the bitmap it decodes to.
class TJPEGImage : public TGraphic {
public:
    static constexpr std::string_view kClassName = "TJPEGImage";

    const TGraphicClass& GraphicClass() const override { return TGraphicClass::Of<TJPEGImage>(); }
    void Assign(const TPersistent& source) override;
    // A bitmap destination gets the decoded picture.
    bool AssignTo(TPersistent& destination) const override;

    bool Empty() const override { return data_.empty(); }
    int Width() const override { return bitmap_.Width(); }
    int Height() const override { return bitmap_.Height(); }
    void Draw(TCanvas& canvas, const RECT& rect) override;

    // JPEG data has no length of its own: the rest of the stream is taken.
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) const override;
    // A 32-bit length, then the data.
    void ReadData(TStream& stream) override;
    void WriteData(TStream& stream) const override;

private:
    void Load(std::vector<std::uint8_t> data);

    std::vector<std::uint8_t> data_;
    TBitmap bitmap_;
};
