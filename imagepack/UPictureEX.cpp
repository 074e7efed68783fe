#include "imagepack/UPictureEX.h"

#include <memory>
#include <utility>

#include "bitmap/UGraphicUtil.h"
#include "framework/graphics/Canvas.h"
#include "framework/runtime/FlagScope.h"
#include "framework/ui/Clipboard.h"

TPictureEx::TPictureEx() : TDelegatedBroadcaster(notifier_), notifier_(this) {}

TPictureEx::~TPictureEx()
{
    UnlinkListenersOrTerminate();
}

template <class Kind, class Made>
Kind& TPictureEx::GraphicQuietlyOfKind()
{
    if (auto* graphic = dynamic_cast<Kind*>(Graphic()))
        return *graphic;
    auto made = std::make_unique<Made>();
    Kind& kept = *made;
    {
        // An empty graphic is no news; what is loaded into it is.
        const TFlagScope quiet(changing_);
        ReplaceGraphic(std::move(made));
    }
    return kept;
}

TSafetyBitmap& TPictureEx::SafetyBitmap()
{
    return GraphicQuietlyOfKind<TSafetyBitmap, TSafetyBitmap>();
}

TJPEGImage& TPictureEx::JpegImage()
{
    return GraphicQuietlyOfKind<TJPEGImage, TSafetyJPEGImage>();
}

void TPictureEx::Assign(const TPersistent& source)
{
    if (dynamic_cast<const TClipboard*>(&source)) {
        if (!AssignFromClipboard())
            TPicture::Assign(source);
        return;
    }
    if (const auto* picture = dynamic_cast<const TPictureEx*>(&source)) {
        imageId_ = picture->imageId_;
        storageId_ = picture->storageId_;
    }
    if (const auto* picture = dynamic_cast<const TPicture*>(&source)) {
        TGraphic* mine = Graphic();
        const TGraphic* theirs = picture->Graphic();
        if (!mine && !theirs)
            return;
        if (mine && theirs && &mine->GraphicClass() == &theirs->GraphicClass() && !dynamic_cast<TJPEGImage*>(mine)) {
            mine->Assign(*theirs);
            return;
        }
    }
    TPicture::Assign(source);
}

bool TPictureEx::AssignFromClipboard()
{
    const TOpenClipboard clipboard;
    for (const UINT format : clipboard.Formats()) {
        if ((format == CF_BITMAP || format == CF_DIB || format == CF_ENHMETAFILE) && SupportsClipboardFormat(format)) {
            LoadFromClipboardFormat(format, clipboard.Data(format), static_cast<HPALETTE>(clipboard.Data(CF_PALETTE)));
            return true;
        }
    }
    return false;
}

void TPictureEx::DefineProperties(TProperties& properties)
{
    // The picture's own "Data", left out while the content came from a
    // resource: the loader reads the resource again.
    properties.Binary(
        "Data", [this](TStream& stream) { WriteData(stream); },
        [this](TStream& stream) {
            if (!loadedFromResource_)
                ReadData(stream);
        },
        [this] { return Graphic() && !loadedFromResource_; });
    properties.String("ImageID", [this] { return imageId_; }, [this](std::string id) { SetImageID(std::move(id)); },
                      "");
    properties.String("StorageID", [this] { return storageId_; },
                      [this](std::string id) { SetStorageID(std::move(id)); }, "");
}

void TPictureEx::Changed(TObject* sender)
{
    // A change made by a handler of this one is not announced again.
    if (changing_)
        return;
    const TFlagScope changing(changing_);
    TPicture::Changed(sender);
    notifier_.Changed();
}

namespace {

// Empties a change callback for one scope and puts it back afterwards, also
// when an error passes.
class TSuspendedCallback {
public:
    explicit TSuspendedCallback(TNotifyEvent& callback) : callback_(callback), saved_(std::exchange(callback, {})) {}
    ~TSuspendedCallback() { callback_ = std::move(saved_); }
    TSuspendedCallback(const TSuspendedCallback&) = delete;
    TSuspendedCallback& operator=(const TSuspendedCallback&) = delete;

private:
    TNotifyEvent& callback_;
    TNotifyEvent saved_;
};

} // namespace

void TSafetyJPEGImage::Draw(TCanvas& canvas, const RECT& rect)
{
    // Showing the picture is no change of it, whatever the drawing touches.
    const TSuspendedCallback quiet(OnChange);
    if (IsWinNT()) {
        TJPEGImage::Draw(canvas, rect);
        return;
    }
    TSafetyBitmap copy;
    copy.Assign(*this);
    canvas.StretchDraw(rect, copy);
}

TSafetyJPEGImageRegistration::TSafetyJPEGImageRegistration()
{
    TPicture::UnregisterGraphicClass(TGraphicClass::Of<TJPEGImage>());
    const TGraphicClass& safetyJpeg = TGraphicClass::Of<TSafetyJPEGImage>();
    TPicture::RegisterFileFormat("JPG", "JPEG Image", safetyJpeg);
    TPicture::RegisterFileFormat("JPEG", "JPEG Image", safetyJpeg);
}

TSafetyJPEGImageRegistration::~TSafetyJPEGImageRegistration()
{
    TPicture::UnregisterGraphicClass(TGraphicClass::Of<TSafetyJPEGImage>());
    const TGraphicClass& plainJpeg = TGraphicClass::Of<TJPEGImage>();
    TPicture::RegisterFileFormat("JPG", "JPEG Image", plainJpeg);
    TPicture::RegisterFileFormat("JPEG", "JPEG Image", plainJpeg);
}
