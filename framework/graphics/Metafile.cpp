#include "framework/graphics/Metafile.h"

#include <cstddef>
#include <cstring>
#include <vector>

#include "framework/graphics/MetafileRecords.h"
#include "framework/runtime/Handles.h"
#include "framework/runtime/Streams.h"

namespace {

const char kInvalidMetafileMessage[] = "メタファイルが不正です";

// Pixels of a header's frame on the device it was recorded for.
SIZE PixelSizeOf(HENHMETAFILE handle)
{
    ENHMETAHEADER header{};
    GetEnhMetaFileHeader(handle, sizeof header, &header);
    if (header.szlMillimeters.cx <= 0 || header.szlMillimeters.cy <= 0)
        return SIZE{0, 0};
    return SIZE{MetafileFramePixels(header.rclFrame.left, header.rclFrame.right, header.szlDevice.cx,
                                    header.szlMillimeters.cx),
                MetafileFramePixels(header.rclFrame.top, header.rclFrame.bottom, header.szlDevice.cy,
                                    header.szlMillimeters.cy)};
}

} // namespace

TMetafile::~TMetafile()
{
    if (handle_)
        DeleteEnhMetaFile(handle_);
}

void TMetafile::Replace(HENHMETAFILE handle)
{
    if (handle_)
        DeleteEnhMetaFile(handle_);
    handle_ = handle;
}

void TMetafile::Assign(const TPersistent& source)
{
    const auto* metafile = dynamic_cast<const TMetafile*>(&source);
    if (!metafile)
        return TGraphic::Assign(source);
    if (metafile == this)
        return;
    HENHMETAFILE copy = nullptr;
    if (metafile->handle_) {
        copy = CopyEnhMetaFileA(metafile->handle_, nullptr);
        if (!copy)
            throw EOutOfResources();
    }
    Replace(copy);
    width_ = metafile->width_;
    height_ = metafile->height_;
    Changed(this);
}

void TMetafile::SetWidth(int width)
{
    if (width == width_)
        return;
    width_ = width;
    Changed(this);
}

void TMetafile::SetHeight(int height)
{
    if (height == height_)
        return;
    height_ = height;
    Changed(this);
}

void TMetafile::Draw(TCanvas& canvas, const RECT& rect)
{
    if (handle_)
        PlayEnhMetaFile(canvas.Handle(), handle_, &rect);
}

void TMetafile::SetHandle(HENHMETAFILE handle)
{
    if (handle == handle_)
        return;
    Replace(handle);
    const SIZE size = handle ? PixelSizeOf(handle) : SIZE{0, 0};
    width_ = size.cx;
    height_ = size.cy;
    Changed(this);
}

void TMetafile::TakeRecording(HENHMETAFILE handle)
{
    Replace(handle);
    if (width_ == 0 && height_ == 0 && handle) {
        const SIZE size = PixelSizeOf(handle);
        width_ = size.cx;
        height_ = size.cy;
    }
    Changed(this);
}

void TMetafile::LoadFromStream(TStream& stream)
{
    // The header record says how long the whole metafile is.
    ENHMETAHEADER header{};
    constexpr std::int32_t kHeaderStart = offsetof(ENHMETAHEADER, nBytes) + sizeof header.nBytes;
    stream.ReadBuffer(&header, kHeaderStart);
    if (header.iType != EMR_HEADER || header.dSignature != ENHMETA_SIGNATURE || header.nBytes < kHeaderStart ||
        header.nBytes > 0x7FFFFFFF)
        throw EInvalidGraphic(kInvalidMetafileMessage);
    if (header.nBytes - kHeaderStart > stream.Size() - stream.Position())
        throw EReadError();
    std::vector<BYTE> data(header.nBytes);
    std::memcpy(data.data(), &header, kHeaderStart);
    stream.ReadBuffer(data.data() + kHeaderStart, static_cast<std::int32_t>(header.nBytes - kHeaderStart));
    CheckMetafileRecords(data.data(), data.size(), kInvalidMetafileMessage);
    HENHMETAFILE handle = SetEnhMetaFileBits(header.nBytes, data.data());
    if (!handle)
        throw EInvalidGraphic(kInvalidMetafileMessage);
    SetHandle(handle);
}

void TMetafile::SaveToStream(TStream& stream) const
{
    if (!handle_)
        return;
    const UINT size = GetEnhMetaFileBits(handle_, 0, nullptr);
    std::vector<BYTE> data(size);
    GetEnhMetaFileBits(handle_, size, data.data());
    stream.WriteBuffer(data.data(), static_cast<std::int32_t>(size));
}

void TMetafile::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette)
{
    if (format != CF_ENHMETAFILE)
        return TGraphic::LoadFromClipboardFormat(format, data, palette);
    HENHMETAFILE copy = CopyEnhMetaFileA(static_cast<HENHMETAFILE>(data), nullptr);
    if (!copy)
        throw EInvalidGraphic(kInvalidMetafileMessage);
    SetHandle(copy);
}

TMetafileCanvas::TMetafileCanvas(TMetafile& metafile, HDC referenceDevice) : metafile_(metafile)
{
    const TWindowDC screen;
    HDC reference = referenceDevice ? referenceDevice : screen.Handle();
    // The frame is in 0.01 mm of the reference device, so that one recorded
    // unit is one of its pixels.
    RECT frame{0, 0, MulDiv(metafile.Width(), GetDeviceCaps(reference, HORZSIZE) * 100, GetDeviceCaps(reference, HORZRES)),
               MulDiv(metafile.Height(), GetDeviceCaps(reference, VERTSIZE) * 100, GetDeviceCaps(reference, VERTRES))};
    const bool sized = metafile.Width() > 0 && metafile.Height() > 0;
    recording_ = CreateEnhMetaFileA(reference, nullptr, sized ? &frame : nullptr, nullptr);
    const int pixelsPerInch = GetDeviceCaps(reference, LOGPIXELSY);
    if (!recording_)
        throw EOutOfResources();
    const int points = Font().Size();
    Font().SetPixelsPerInch(pixelsPerInch);
    Font().SetSize(points);
    SetHandle(recording_);
}

TMetafileCanvas::~TMetafileCanvas()
{
    SetHandle(nullptr);
    metafile_.TakeRecording(CloseEnhMetaFile(recording_));
}
