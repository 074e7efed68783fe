#include "imagepack/UResourceImageLoader.h"

#include <windows.h>

#include <cstdint>
#include <memory>

#include "container/UZLIB.h"
#include "framework/graphics/Icon.h"
#include "framework/graphics/Metafile.h"
#include "framework/runtime/ShiftJis.h"
#include "framework/runtime/Text.h"
#include "imagepack/UResStream.h"

namespace {

// With its trailing backslash.
std::string ProgramFolder()
{
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return FolderPartOf(path);
        }
        path.resize(path.size() * 2);
    }
}

// Into the picture's graphic when it already is one of the kind: a graphic's
// own load leaves it as it was when it fails. Otherwise into a new graphic
// that the picture takes only once it is complete. Either way a damaged
// resource leaves the picture as it was, and a good one changes it once.
template <class Kind, class Made = Kind>
void LoadGraphic(TPicture& picture, TStream& stream)
{
    if (auto* graphic = dynamic_cast<Kind*>(picture.Graphic())) {
        graphic->LoadFromStream(stream);
        return;
    }
    auto loaded = std::make_unique<Made>();
    loaded->LoadFromStream(stream);
    picture.ReplaceGraphic(std::move(loaded));
}

// A compressed container holds a whole bitmap file, which the safety bitmap
// unpacks itself. Anything else is a bitmap as bitmap resources store it:
// the file without its file header, which is put in front of it here. The
// reader finds the pixels through the info header, so the header's offset
// field is left 0.
void LoadBitmap(TPicture& picture, TStream& resource)
{
    std::int32_t declared = 0;
    if (ReadContainerHeader(resource, declared)) {
        resource.SetPosition(0);
        LoadGraphic<TSafetyBitmap>(picture, resource);
        return;
    }
    const std::int64_t size = resource.Size();
    BITMAPFILEHEADER header{};
    header.bfType = 'B' | 'M' << 8;
    header.bfSize = static_cast<DWORD>(sizeof header + size);
    TMemoryStream file;
    file.WriteBuffer(&header, sizeof header);
    if (size > 0)
        file.CopyFrom(resource, size);
    file.SetPosition(0);
    LoadGraphic<TSafetyBitmap>(picture, file);
}

} // namespace

void TResourceImageLoader::SetResFile(std::string resFile)
{
    if (resFile == resFile_)
        return;
    resFile_ = std::move(resFile);
    ResourceChanged();
}

void TResourceImageLoader::SetResType(std::string resType)
{
    if (resType == resType_)
        return;
    resType_ = std::move(resType);
    ResourceChanged();
}

void TResourceImageLoader::SetResName(std::string resName)
{
    if (resName == resName_)
        return;
    resName_ = std::move(resName);
    ResourceChanged();
}

void TResourceImageLoader::ResourceChanged()
{
    picture_.SetLoadedFromResource(false);
    if (autoLoad_ && ready_)
        Load();
}

void TResourceImageLoader::Load()
{
    if (resName_.empty() || resType_.empty())
        return;
    // Relative to the program's folder even when written as a full path.
    const std::string path = resFile_.empty() ? std::string() : ProgramFolder() + resFile_;
    const char* type = resType_ == "RT_BITMAP" ? RT_BITMAP : resType_ == "RT_ICON" ? RT_ICON : resType_.c_str();
    TResStream resource(path, type, resName_.c_str());
    if (type == RT_BITMAP || AnsiSameText(resType_, "CBM"))
        LoadBitmap(picture_, resource);
    else if (type == RT_ICON)
        LoadGraphic<TIcon>(picture_, resource);
    else if (AnsiSameText(resType_, "METAFILE"))
        LoadGraphic<TMetafile>(picture_, resource);
    else if (AnsiSameText(resType_, "JPEG"))
        LoadGraphic<TJPEGImage, TSafetyJPEGImage>(picture_, resource);
    else
        return;
    picture_.SetLoadedFromResource(true);
}

void TResourceImageLoader::Assign(const TPersistent& source)
{
    const auto* loader = dynamic_cast<const TResourceImageLoader*>(&source);
    if (!loader) {
        TPersistent::Assign(source);
        return;
    }
    resFile_ = loader->resFile_;
    resName_ = loader->resName_;
    resType_ = loader->resType_;
    ResourceChanged();
}

void TResourceImageLoader::DefineProperties(TProperties& properties)
{
    properties.String("ResFile", [this] { return resFile_; }, [this](std::string v) { SetResFile(std::move(v)); }, "");
    properties.String("ResType", [this] { return resType_; }, [this](std::string v) { SetResType(std::move(v)); }, "");
    properties.String("ResName", [this] { return resName_; }, [this](std::string v) { SetResName(std::move(v)); }, "");
    properties.Boolean("AutoLoad", [this] { return autoLoad_; }, [this](bool v) { SetAutoLoad(v); }, true);
}
