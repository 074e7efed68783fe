#include "framework/graphics/Icon.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include "framework/graphics/Canvas.h"
#include "framework/runtime/Streams.h"
#include "framework/runtime/Handles.h"

namespace {

const char kInvalidIconMessage[] = "アイコンイメージが不正です";
constexpr DWORD kIconVersion = 0x00030000;

[[noreturn]] void Invalid()
{
    throw EInvalidGraphic(kInvalidIconMessage);
}

template <class T>
T Get(const std::uint8_t* at)
{
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

struct TIconImage {
    const std::uint8_t* bits;
    DWORD size;
    int width;
    int height;
};

bool IsIconFile(const std::vector<std::uint8_t>& data)
{
    return data.size() >= 6 && Get<WORD>(&data[0]) == 0 && Get<WORD>(&data[2]) == 1;
}

// The entry whose size is nearest the system's icon size, the deepest of
// those.
TIconImage ChooseImage(const std::vector<std::uint8_t>& data)
{
    const int count = Get<WORD>(&data[4]);
    constexpr std::size_t kEntrySize = 16;
    if (count == 0 || data.size() < 6 + count * kEntrySize)
        Invalid();
    const int wanted = GetSystemMetrics(SM_CXICON);
    int best = -1;
    int bestDistance = 0;
    int bestDepth = 0;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* entry = &data[6 + i * kEntrySize];
        const int width = entry[0] ? entry[0] : 256;
        const int depth = Get<WORD>(entry + 6);
        const int distance = std::abs(width - wanted);
        if (best < 0 || distance < bestDistance || (distance == bestDistance && depth > bestDepth)) {
            best = i;
            bestDistance = distance;
            bestDepth = depth;
        }
    }
    const std::uint8_t* entry = &data[6 + best * kEntrySize];
    const DWORD size = Get<DWORD>(entry + 8);
    const DWORD offset = Get<DWORD>(entry + 12);
    if (offset > data.size() || size > data.size() - offset || size == 0)
        Invalid();
    return TIconImage{&data[offset], size, entry[0] ? entry[0] : 256, entry[1] ? entry[1] : 256};
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
    HICON handle = nullptr;
    if (IsIconFile(data)) {
        const TIconImage image = ChooseImage(data);
        handle = CreateIconFromResourceEx(const_cast<PBYTE>(image.bits), image.size, TRUE, kIconVersion, image.width,
                                          image.height, LR_DEFAULTCOLOR);
    } else if (!data.empty()) {
        // One image of an icon resource: a bitmap header or PNG data.
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
