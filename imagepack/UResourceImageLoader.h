#pragma once

#include <string>

#include "framework/runtime/Components.h"
#include "imagepack/UPictureEX.h"

// Fills a picture from a resource: from the compiled resource file ResFile
// in the folder of the program's executable when that file exists, else from
// the program's own resources. ResType "RT_BITMAP" and "RT_ICON" (exactly so
// written) are the platform's bitmap and icon types; any other text is a
// named type, of which "CBM" (a bitmap, usually compressed), "METAFILE" and
// "JPEG" are read, in any case. A resource of another type loads nothing.
//
// While its owner reads its stored properties the loader is not Ready and
// loads nothing; from then on, with AutoLoad, every change of the resource
// loads at once.
class TResourceImageLoader : public TPersistent {
public:
    explicit TResourceImageLoader(TPictureEx& picture) : picture_(picture) {}

    const std::string& ResFile() const { return resFile_; }
    void SetResFile(std::string resFile);
    const std::string& ResType() const { return resType_; }
    void SetResType(std::string resType);
    const std::string& ResName() const { return resName_; }
    void SetResName(std::string resName);
    bool AutoLoad() const { return autoLoad_; }
    void SetAutoLoad(bool autoLoad) { autoLoad_ = autoLoad; }
    bool Ready() const { return ready_; }
    void SetReady(bool ready) { ready_ = ready; }

    // Does nothing without a name or a type. Raises EResNotFound when the
    // resource is not there, EReadError for a damaged resource file, and the
    // decoder's error for a damaged picture; the picture then keeps what it
    // had, and whether that came from a resource.
    void Load();

    // From another loader: its resource, not AutoLoad.
    void Assign(const TPersistent& source) override;
    void DefineProperties(TProperties& properties) override;

private:
    // The resource named is another one now.
    void ResourceChanged();

    TPictureEx& picture_;
    std::string resFile_;
    std::string resType_;
    std::string resName_;
    bool autoLoad_ = true;
    bool ready_ = false;
};
