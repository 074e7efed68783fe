#pragma once

#include <windows.h>
#include <unknwn.h>

#include <string>
#include <string_view>

#include "bitmap/USafetyBitmap.h"
#include "framework/graphics/JpegImage.h"
#include "framework/graphics/Picture.h"
#include "imagepack/UChangeNotify.h"

// The picture of an image pack: a framework picture that also tells listeners
// of its changes through its own IBroadcaster, never announces a change
// caused while it handles one, and is left out of stored form data while its
// content came from a resource (the resource is loaded again instead).
//
// The picture is its own IBroadcaster, delegated to the notifier it owns.
class TPictureEx : public TPicture, public TDelegatedBroadcaster {
public:
    TPictureEx();
    ~TPictureEx() override;

    // The destroying step that the picture's owner runs before it destroys
    // the picture: listeners hear NotifyDestroying, with the picture as
    // sender, while the graphic is still there, and are unlinked. Refuses
    // when one will not let go or a reference is still counted.
    void BeforeDestruction() { UnlinkListeners(); }

    // Batches the announcements to the listeners; the owner's change
    // callback is not batched.
    IChangeNotify& ChangeNotify() { return notifier_; }

    bool Changing() const { return changing_; }
    bool LoadedFromResource() const { return loadedFromResource_; }
    void SetLoadedFromResource(bool loaded) { loadedFromResource_ = loaded; }

    // Free texts for the program's own use, stored and copied with the picture.
    const std::string& ImageID() const { return imageId_; }
    void SetImageID(std::string id) { imageId_ = std::move(id); }
    const std::string& StorageID() const { return storageId_; }
    void SetStorageID(std::string id) { storageId_ = std::move(id); }

    // The graphic as a safety bitmap, or as a JPEG image (a safety one when
    // it is made here). A graphic of another kind is replaced by an empty
    // one without announcing the replacement.
    TSafetyBitmap& SafetyBitmap();
    TJPEGImage& JpegImage();

    // From another picture: a graphic of the same class (JPEG images apart)
    // takes the source's content in place. From a TClipboard: the first of
    // its bitmap, DIB and enhanced-metafile formats that a registered class
    // reads; EAssignError when there is none.
    void Assign(const TPersistent& source) override;
    void DefineProperties(TProperties& properties) override;

protected:
    // The owner's change callback, then NotifyChanged to the listeners.
    void Changed(TObject* sender) override;

private:
    template <class Kind, class Made>
    Kind& GraphicQuietlyOfKind();
    bool AssignFromClipboard();

    TChangeNotify notifier_;
    bool changing_ = false;
    bool loadedFromResource_ = false;
    std::string imageId_;
    std::string storageId_;
};

// The JPEG image the library loads. On 9x-family systems it draws through a
// safety bitmap copy of its picture, which copes with the devices there;
// elsewhere it draws as the plain JPEG image does. A draw announces no
// change: its change callback is empty meanwhile.
class TSafetyJPEGImage : public TJPEGImage {
public:
    static constexpr std::string_view kClassName = "TSafetyJPEGImage";

    const TGraphicClass& GraphicClass() const override { return TGraphicClass::Of<TSafetyJPEGImage>(); }
    void Draw(TCanvas& canvas, const RECT& rect) override;
};

// Makes TSafetyJPEGImage the picture class of JPEG files ("JPG", "JPEG",
// "JPEG Image") in place of the plain JPEG image for its lifetime. The
// program's entry holds one for the whole run.
class TSafetyJPEGImageRegistration {
public:
    TSafetyJPEGImageRegistration();
    ~TSafetyJPEGImageRegistration();
    TSafetyJPEGImageRegistration(const TSafetyJPEGImageRegistration&) = delete;
    TSafetyJPEGImageRegistration& operator=(const TSafetyJPEGImageRegistration&) = delete;
};
