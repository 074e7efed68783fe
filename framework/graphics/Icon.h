#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "framework/graphics/Graphic.h"

// An icon, always drawn with its mask. Loaded from icon file data (the image
// nearest the system's icon size is taken) or from one icon image as an
// icon resource holds it; saved as it was loaded.
class TIcon : public TGraphic {
public:
    static constexpr std::string_view kClassName = "TIcon";

    TIcon() = default;
    ~TIcon() override;

    const TGraphicClass& GraphicClass() const override { return TGraphicClass::Of<TIcon>(); }
    void Assign(const TPersistent& source) override;

    bool Empty() const override { return handle_ == nullptr; }
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    bool Transparent() const override { return true; }
    void Draw(TCanvas& canvas, const RECT& rect) override;

    HICON Handle() const { return handle_; }
    // Takes ownership. An icon given as a handle has no stream form.
    void SetHandle(HICON handle);

    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) const override;
    // A 32-bit length, then the stream form: the data has no length of its own.
    void ReadData(TStream& stream) override;
    void WriteData(TStream& stream) const override;

private:
    void Load(std::vector<std::uint8_t> data);
    void Replace(HICON handle, std::vector<std::uint8_t> data);

    HICON handle_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> data_;
};
