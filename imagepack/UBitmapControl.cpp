#include "imagepack/UBitmapControl.h"

TBitmapControl::TBitmapControl(TComponent* owner)
    : TOriginalControl(owner),
      listener_(TNotifyIdEvent([this](TObject* sender, const GUID& notifyId) { PackNotification(sender, notifyId); }))
{
}

void TBitmapControl::SetImagePack(TImagePack* pack)
{
    if (pack == imagePack_)
        return;
    if (imagePack_)
        listener_.Detach(imagePack_);
    imagePack_ = pack;
    if (imagePack_)
        listener_.Attach(imagePack_);
    ImagePackChanged();
}

void TBitmapControl::BeforeDestruction()
{
    TOriginalControl::BeforeDestruction();
    // Unlinked through the pack first, so that a refusal leaves no pack
    // behind that the control would no longer hear of.
    SetImagePack(nullptr);
    listener_.BeforeDestruction();
}

void TBitmapControl::ImagePackChanged()
{
    Invalidate();
}

void TBitmapControl::PackNotification(TObject* sender, const GUID& notifyId)
{
    if (!imagePack_ || sender != imagePack_)
        return;
    if (IsEqualGUID(notifyId, NotifyPackChanged)) {
        ImagePackChanged();
    } else if (IsEqualGUID(notifyId, NotifyDestroying)) {
        // The broadcaster unlinks the listener itself right after this.
        imagePack_ = nullptr;
        Invalidate();
    }
}

void TBitmapControl::DefineProperties(TProperties& properties)
{
    TOriginalControl::DefineProperties(properties);
    properties.Reference<TImagePack>(
        "ImagePack", [this] { return imagePack_; }, [this](TImagePack* pack) { SetImagePack(pack); },
        "is not an image pack");
}
