#pragma once

#include <string_view>

#include "imagepack/UBroadcaster.h"
#include "imagepack/UImagePack.h"
#include "imagepack/UOriginalControl.h"

// A control that shows an image pack it does not own: it listens to the
// pack, repaints when the pack changes and forgets the pack when it goes.
class TBitmapControl : public TOriginalControl {
public:
    explicit TBitmapControl(TComponent* owner);

    static constexpr std::string_view kClassName = "TBitmapControl";
    std::string_view ClassName() const override { return kClassName; }

    TImagePack* ImagePack() const { return imagePack_; }
    void SetImagePack(TImagePack* pack);
    TListener& Listener() { return listener_; }

    void DefineProperties(TProperties& properties) override;

protected:
    // Lets go of the pack, then the listener leaves every broadcaster;
    // refuses when one will not let go or a reference to the listener is
    // still counted, and the control is left showing no pack.
    void BeforeDestruction() override;
    virtual void ImagePackChanged();
    // Hears only the current pack: a notification from one it has just let
    // go of may still arrive.
    void PackNotification(TObject* sender, const GUID& notifyId);

private:
    TImagePack* imagePack_ = nullptr;
    // Goes before the rest of the control, leaving the pack's broadcaster
    // (a control deleted without its destroying step).
    TListener listener_;
};
