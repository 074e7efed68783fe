#include "framework/graphics/Picture.h"

#include <algorithm>
#include <cstdint>

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Icon.h"
#include "framework/graphics/JpegImage.h"
#include "framework/graphics/Metafile.h"
#include "framework/runtime/Streams.h"
#include "framework/runtime/Text.h"

namespace {

bool SameTextIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

std::string_view WithoutDot(std::string_view extension)
{
    if (!extension.empty() && extension.front() == '.')
        extension.remove_prefix(1);
    return extension;
}

} // namespace

void TGraphicClassRegistry::RegisterFileFormat(std::string_view extension, std::string_view description,
                                               const TGraphicClass& graphicClass)
{
    fileFormats_.push_back({std::string(WithoutDot(extension)), std::string(description), &graphicClass});
}

void TGraphicClassRegistry::RegisterClipboardFormat(UINT format, const TGraphicClass& graphicClass)
{
    clipboardFormats_.push_back({format, &graphicClass});
}

void TGraphicClassRegistry::UnregisterGraphicClass(const TGraphicClass& graphicClass)
{
    std::erase_if(fileFormats_, [&](const TFileFormat& entry) { return entry.graphicClass == &graphicClass; });
    std::erase_if(clipboardFormats_, [&](const TClipboardFormat& entry) { return entry.graphicClass == &graphicClass; });
}

const TGraphicClass* TGraphicClassRegistry::FindByExtension(std::string_view extension) const
{
    extension = WithoutDot(extension);
    const auto found = std::find_if(fileFormats_.rbegin(), fileFormats_.rend(), [&](const TFileFormat& entry) {
        return SameTextIgnoringCase(entry.extension, extension);
    });
    return found == fileFormats_.rend() ? nullptr : found->graphicClass;
}

const TGraphicClass* TGraphicClassRegistry::FindByClipboardFormat(UINT format) const
{
    const auto found = std::find_if(clipboardFormats_.rbegin(), clipboardFormats_.rend(),
                                    [&](const TClipboardFormat& entry) { return entry.format == format; });
    return found == clipboardFormats_.rend() ? nullptr : found->graphicClass;
}

const TGraphicClass* TGraphicClassRegistry::FindByName(std::string_view className) const
{
    for (auto entry = fileFormats_.rbegin(); entry != fileFormats_.rend(); ++entry) {
        if (entry->graphicClass->Name() == className)
            return entry->graphicClass;
    }
    for (auto entry = clipboardFormats_.rbegin(); entry != clipboardFormats_.rend(); ++entry) {
        if (entry->graphicClass->Name() == className)
            return entry->graphicClass;
    }
    return nullptr;
}

TGraphicClassRegistry& GraphicClasses()
{
    static TGraphicClassRegistry registry = [] {
        TGraphicClassRegistry defaults;
        defaults.RegisterFileFormat("BMP", "Bitmaps", TGraphicClass::Of<TBitmap>());
        defaults.RegisterFileFormat("ICO", "Icons", TGraphicClass::Of<TIcon>());
        defaults.RegisterFileFormat("EMF", "Enhanced Metafiles", TGraphicClass::Of<TMetafile>());
        defaults.RegisterFileFormat("JPG", "JPEG Image", TGraphicClass::Of<TJPEGImage>());
        defaults.RegisterFileFormat("JPEG", "JPEG Image", TGraphicClass::Of<TJPEGImage>());
        defaults.RegisterClipboardFormat(CF_BITMAP, TGraphicClass::Of<TBitmap>());
        defaults.RegisterClipboardFormat(CF_ENHMETAFILE, TGraphicClass::Of<TMetafile>());
        return defaults;
    }();
    return registry;
}

TPicture::~TPicture() = default;

void TPicture::SetGraphic(const TGraphic* graphic)
{
    if (!graphic) {
        ReplaceGraphic(nullptr);
        return;
    }
    std::unique_ptr<TGraphic> copy = graphic->GraphicClass().Create();
    copy->Assign(*graphic);
    ReplaceGraphic(std::move(copy));
}

void TPicture::ReplaceGraphic(std::unique_ptr<TGraphic> graphic)
{
    graphic_ = std::move(graphic);
    if (graphic_)
        graphic_->OnChange = TNotifyEvent([this](TObject* sender) { Changed(sender); });
    Changed(this);
}

template <class T>
T& TPicture::GraphicOfKind()
{
    if (auto* graphic = dynamic_cast<T*>(graphic_.get()))
        return *graphic;
    auto graphic = std::make_unique<T>();
    T& kept = *graphic;
    ReplaceGraphic(std::move(graphic));
    return kept;
}

TBitmap& TPicture::Bitmap()
{
    return GraphicOfKind<TBitmap>();
}

TIcon& TPicture::Icon()
{
    return GraphicOfKind<TIcon>();
}

TMetafile& TPicture::Metafile()
{
    return GraphicOfKind<TMetafile>();
}

int TPicture::Width() const
{
    return graphic_ ? graphic_->Width() : 0;
}

int TPicture::Height() const
{
    return graphic_ ? graphic_->Height() : 0;
}

void TPicture::LoadFromFile(const std::string& path)
{
    const std::size_t dot = path.find_last_of('.');
    const std::size_t separator = path.find_last_of("\\/:");
    const std::string extension =
        dot == std::string::npos || (separator != std::string::npos && dot < separator) ? "" : path.substr(dot + 1);
    const TGraphicClass* graphicClass = GraphicClasses().FindByExtension(extension);
    if (!graphicClass)
        throw EInvalidGraphic(Format("拡張子 (%s) の画像形式は登録されていません", extension.c_str()));
    std::unique_ptr<TGraphic> graphic = graphicClass->Create();
    graphic->LoadFromFile(path);
    ReplaceGraphic(std::move(graphic));
}

void TPicture::SaveToFile(const std::string& path) const
{
    if (graphic_)
        graphic_->SaveToFile(path);
}

void TPicture::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette)
{
    const TGraphicClass* graphicClass = GraphicClasses().FindByClipboardFormat(format);
    if (!graphicClass)
        throw EInvalidGraphic("サポートされていないクリップボード形式です");
    std::unique_ptr<TGraphic> graphic = graphicClass->Create();
    graphic->LoadFromClipboardFormat(format, data, palette);
    ReplaceGraphic(std::move(graphic));
}

bool TPicture::SupportsClipboardFormat(UINT format)
{
    return GraphicClasses().FindByClipboardFormat(format) != nullptr;
}

void TPicture::RegisterFileFormat(std::string_view extension, std::string_view description,
                                  const TGraphicClass& graphicClass)
{
    GraphicClasses().RegisterFileFormat(extension, description, graphicClass);
}

void TPicture::RegisterClipboardFormat(UINT format, const TGraphicClass& graphicClass)
{
    GraphicClasses().RegisterClipboardFormat(format, graphicClass);
}

void TPicture::UnregisterGraphicClass(const TGraphicClass& graphicClass)
{
    GraphicClasses().UnregisterGraphicClass(graphicClass);
}

void TPicture::Assign(const TPersistent& source)
{
    if (const auto* picture = dynamic_cast<const TPicture*>(&source)) {
        if (picture != this)
            SetGraphic(picture->Graphic());
        return;
    }
    if (const auto* graphic = dynamic_cast<const TGraphic*>(&source)) {
        SetGraphic(graphic);
        return;
    }
    TPersistent::Assign(source);
}

void TPicture::DefineProperties(TProperties& properties)
{
    properties.Binary(
        "Data", [this](TStream& stream) { WriteData(stream); }, [this](TStream& stream) { ReadData(stream); },
        [this] { return graphic_ != nullptr; });
}

void TPicture::Changed(TObject*)
{
    OnChange(this);
}

void TPicture::ReadData(TStream& stream)
{
    std::uint8_t length = 0;
    stream.ReadBuffer(&length, sizeof length);
    std::string name(length, '\0');
    stream.ReadBuffer(name.data(), length);
    const TGraphicClass* graphicClass = GraphicClasses().FindByName(name);
    if (!graphicClass)
        throw EInvalidGraphic(Format("画像クラス %s は登録されていません", name.c_str()));
    std::unique_ptr<TGraphic> graphic = graphicClass->Create();
    graphic->ReadData(stream);
    ReplaceGraphic(std::move(graphic));
}

void TPicture::WriteData(TStream& stream) const
{
    const std::string_view name = graphic_->ClassName();
    const auto length = static_cast<std::uint8_t>(name.size());
    stream.WriteBuffer(&length, sizeof length);
    stream.WriteBuffer(name.data(), length);
    graphic_->WriteData(stream);
}
