#include "framework/graphics/Icon.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "framework/graphics/BitmapHeader.h"
#include "framework/graphics/ByteReader.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/DecodeLimit.h"
#include "framework/runtime/Handles.h"
#include "framework/runtime/Streams.h"

namespace {

const char kInvalidIconMessage[] = "アイコンイメージが不正です";
constexpr DWORD kIconVersion = 0x00030000;
constexpr std::uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Icon images hold an info header of 40 bytes (or a core header), no
// run-length data, and a height that counts the mask's rows too.
constexpr TBitmapHeaderOptions kIconImage{
    .largestInfoHeader = kInfoHeaderBytes, .runLength = TRunLength::Refused, .maskRows = true};

[[noreturn]] void Invalid()
{
    throw EInvalidGraphic(kInvalidIconMessage);
}

struct TIconImage {
    const std::uint8_t* bits;
    DWORD size;
    int width;
    int height;
};

bool IsIconFile(const TByteReader& data)
{
    return data.Holds(0, 6) && data.Get<WORD>(0) == 0 && data.Get<WORD>(2) == 1;
}

// The entry whose size is nearest the system's icon size, the deepest of
// those.
TIconImage ChooseImage(const TByteReader& file)
{
    constexpr std::uint64_t kEntrySize = 16;
    const int count = file.Get<WORD>(4);
    if (count == 0 || !file.Holds(6, count * kEntrySize))
        Invalid();
    const int wanted = GetSystemMetrics(SM_CXICON);
    std::uint64_t best = 0;
    int bestDistance = -1;
    int bestDepth = 0;
    for (int i = 0; i < count; ++i) {
        const std::uint64_t entry = 6 + i * kEntrySize;
        const int width = file.Get<BYTE>(entry) ? file.Get<BYTE>(entry) : 256;
        const int depth = file.Get<WORD>(entry + 6);
        const int distance = std::abs(width - wanted);
        if (bestDistance < 0 || distance < bestDistance || (distance == bestDistance && depth > bestDepth)) {
            best = entry;
            bestDistance = distance;
            bestDepth = depth;
        }
    }
    const DWORD size = file.Get<DWORD>(best + 8);
    if (size == 0)
        Invalid();
    const std::uint8_t width = file.Get<BYTE>(best);
    const std::uint8_t height = file.Get<BYTE>(best + 1);
    return TIconImage{file.Bytes(file.Get<DWORD>(best + 12), size), size, width ? width : 256, height ? height : 256};
}

// What goes to the platform must be what it claims to be: PNG data whose
// header gives a size within the decode limit, or a bitmap header (core or
// info) whose colour table, pixels and mask all lie inside the image's
// bytes, for a picture within the limit. The platform trusts these fields
// and, given larger ones, reads past the data or makes an icon of any size.
void CheckImage(const std::uint8_t* bits, std::size_t size)
{
    const TByteReader image(bits, size, kInvalidIconMessage);
    if (image.Holds(0, sizeof kPngSignature) &&
        std::memcmp(image.Bytes(0, sizeof kPngSignature), kPngSignature, sizeof kPngSignature) == 0) {
        if (std::memcmp(image.Bytes(12, 4), "IHDR", 4) != 0)
            Invalid();
        const std::uint8_t* ihdr = image.Bytes(16, 8);
        const std::int64_t width = std::int64_t(ihdr[0]) << 24 | ihdr[1] << 16 | ihdr[2] << 8 | ihdr[3];
        const std::int64_t height = std::int64_t(ihdr[4]) << 24 | ihdr[5] << 16 | ihdr[6] << 8 | ihdr[7];
        if (!WithinDecodeLimit(width, height, 32))
            throw EInvalidGraphic(PictureTooLargeMessage(width, height));
        return;
    }

    // The pixels and the mask follow the colour table.
    const TBitmapHeader header = ReadCheckedBitmapHeader(image, kIconImage);
    if (!image.Holds(HeaderAndTableBytes(header, TColorUsage::Rgb),
                     PixelBytes(header, kIconImage) + MaskBytes(header, kIconImage)))
        Invalid();
}

SIZE IconSize(HICON icon)
{
    ICONINFO info{};
    if (!GetIconInfo(icon, &info))
        return SIZE{0, 0};
    const TGdiObject<HBITMAP> color(info.hbmColor);
    const TGdiObject<HBITMAP> maskBitmap(info.hbmMask);
    BITMAP mask{};
    GetObjectA(maskBitmap.Get(), sizeof mask, &mask);
    return SIZE{mask.bmWidth, color ? mask.bmHeight : mask.bmHeight / 2};
}

} // namespace

TIcon::~TIcon()
{
    if (handle_)
        DestroyIcon(handle_);
}

void TIcon::Replace(HICON handle, std::vector<std::uint8_t> data)
{
    if (handle_)
        DestroyIcon(handle_);
    handle_ = handle;
    data_ = std::move(data);
    const SIZE size = handle ? IconSize(handle) : SIZE{0, 0};
    width_ = size.cx;
    height_ = size.cy;
    Changed(this);
}

void TIcon::Assign(const TPersistent& source)
{
    const auto* icon = dynamic_cast<const TIcon*>(&source);
    if (!icon)
        return TGraphic::Assign(source);
    if (icon == this)
        return;
    HICON copy = nullptr;
    if (icon->handle_) {
        copy = CopyIcon(icon->handle_);
        if (!copy)
            throw EOutOfResources();
    }
    Replace(copy, icon->data_);
}

void TIcon::Draw(TCanvas& canvas, const RECT& rect)
{
    if (handle_)
        DrawIconEx(canvas.Handle(), rect.left, rect.top, handle_, rect.right - rect.left, rect.bottom - rect.top, 0,
                   nullptr, DI_NORMAL);
}

void TIcon::SetHandle(HICON handle)
{
    if (handle == handle_)
        return;
    Replace(handle, {});
}

void TIcon::Load(std::vector<std::uint8_t> data)
{
    const TByteReader bytes(data.data(), data.size(), kInvalidIconMessage);
    HICON handle = nullptr;
    if (IsIconFile(bytes)) {
        const TIconImage image = ChooseImage(bytes);
        CheckImage(image.bits, image.size);
        handle = CreateIconFromResourceEx(const_cast<PBYTE>(image.bits), image.size, TRUE, kIconVersion, image.width,
                                          image.height, LR_DEFAULTCOLOR);
    } else if (!data.empty()) {
        // One image of an icon resource: a bitmap header or PNG data.
        CheckImage(data.data(), data.size());
        handle = CreateIconFromResourceEx(data.data(), static_cast<DWORD>(data.size()), TRUE, kIconVersion, 0, 0,
                                          LR_DEFAULTCOLOR);
    }
    if (!handle)
        Invalid();
    Replace(handle, std::move(data));
}

void TIcon::LoadFromStream(TStream& stream)
{
    const std::int64_t size = stream.Size() - stream.Position();
    if (size <= 0 || size > 0x7FFFFFFF)
        Invalid();
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    stream.ReadBuffer(data.data(), static_cast<std::int32_t>(size));
    Load(std::move(data));
}

void TIcon::SaveToStream(TStream& stream) const
{
    if (handle_ && data_.empty())
        throw EInvalidGraphic("ハンドルから作ったアイコンは保存できません");
    stream.WriteBuffer(data_.data(), static_cast<std::int32_t>(data_.size()));
}

void TIcon::ReadData(TStream& stream)
{
    DWORD size = 0;
    stream.ReadBuffer(&size, sizeof size);
    if (size > stream.Size() - stream.Position())
        throw EReadError();
    std::vector<std::uint8_t> data(size);
    stream.ReadBuffer(data.data(), static_cast<std::int32_t>(size));
    if (data.empty())
        Replace(nullptr, {});
    else
        Load(std::move(data));
}

void TIcon::WriteData(TStream& stream) const
{
    WriteSizedData(stream);
}
