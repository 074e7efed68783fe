#include "framework/graphics/JpegImage.h"

#include <cstring>
#include <utility>

#include "framework/graphics/JpegDecoder.h"
#include "framework/runtime/Streams.h"

void TJPEGImage::Assign(const TPersistent& source)
{
    const auto* jpeg = dynamic_cast<const TJPEGImage*>(&source);
    if (!jpeg)
        return TGraphic::Assign(source);
    if (jpeg == this)
        return;
    data_ = jpeg->data_;
    bitmap_.Assign(jpeg->bitmap_);
    Changed(this);
}

bool TJPEGImage::AssignTo(TPersistent& destination) const
{
    auto* bitmap = dynamic_cast<TBitmap*>(&destination);
    if (!bitmap)
        return false;
    bitmap->Assign(bitmap_);
    return true;
}

void TJPEGImage::Draw(TCanvas& canvas, const RECT& rect)
{
    bitmap_.Draw(canvas, rect);
}

void TJPEGImage::Load(std::vector<std::uint8_t> data)
{
    const TJpegPixels pixels = DecodeJpeg(data.data(), data.size());
    TBitmap bitmap;
    bitmap.SetPixelFormat(TPixelFormat::Bit24);
    bitmap.SetSize(pixels.width, pixels.height);
    const std::size_t stride = static_cast<std::size_t>(pixels.width) * 3;
    for (int row = 0; row < pixels.height; ++row)
        std::memcpy(bitmap.ScanLine(row), &pixels.bgr[row * stride], stride);
    bitmap_.Assign(bitmap);
    data_ = std::move(data);
    Changed(this);
}

void TJPEGImage::LoadFromStream(TStream& stream)
{
    const std::int64_t size = stream.Size() - stream.Position();
    if (size <= 0 || size > 0x7FFFFFFF)
        throw EReadError();
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    stream.ReadBuffer(data.data(), static_cast<std::int32_t>(size));
    Load(std::move(data));
}

void TJPEGImage::SaveToStream(TStream& stream) const
{
    stream.WriteBuffer(data_.data(), static_cast<std::int32_t>(data_.size()));
}

void TJPEGImage::ReadData(TStream& stream)
{
    DWORD size = 0;
    stream.ReadBuffer(&size, sizeof size);
    if (size > stream.Size() - stream.Position())
        throw EReadError();
    if (size == 0) {
        data_.clear();
        bitmap_.SetHandle(nullptr);
        Changed(this);
        return;
    }
    std::vector<std::uint8_t> data(size);
    stream.ReadBuffer(data.data(), static_cast<std::int32_t>(size));
    Load(std::move(data));
}

void TJPEGImage::WriteData(TStream& stream) const
{
    const auto size = static_cast<DWORD>(data_.size());
    stream.WriteBuffer(&size, sizeof size);
    SaveToStream(stream);
}
