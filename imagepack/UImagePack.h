#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstdint>

#include "framework/runtime/Components.h"
#include "framework/runtime/Errors.h"
#include "imagepack/UBroadcaster.h"

class TCanvas;
class TPicture;

class EImagePack : public Exception {
public:
    using Exception::Exception;
};

// A numbered set of images taken from one picture, each of which can be drawn
// on its own. Subclasses hold the images and call Changed whenever they
// change; the controls that show a pack attach a listener to the pack's
// IBroadcaster to learn of it.
//
// The pack is its own IBroadcaster: every call goes to the broadcaster it
// owns, whose queries come back to the pack, so listeners see one identity.
class TImagePack : public TComponent, public TDelegatedBroadcaster {
public:
    explicit TImagePack(TComponent* owner);
    ~TImagePack() override;

    void DefineProperties(TProperties& properties) override;

    // Tells the listeners, then OnChange.
    virtual void Changed();
    // Tells the listeners only.
    virtual void Refresh();
    virtual std::int32_t GetCount() = 0;
    // Raises EImagePack: a pack's count follows from its images.
    virtual void SetCount(std::int32_t count);
    // In pixels of the pack's picture.
    virtual RECT GetImageRect(std::int32_t index) = 0;
    // Raises EImagePack unless a subclass lets its images be placed.
    virtual void SetImageRect(std::int32_t index, const RECT& rect);
    virtual std::int32_t GetImageLeft(std::int32_t index);
    // The setters move or resize the image's rectangle and write it back
    // through SetImageRect.
    virtual void SetImageLeft(std::int32_t index, std::int32_t value);
    virtual std::int32_t GetImageTop(std::int32_t index);
    virtual void SetImageTop(std::int32_t index, std::int32_t value);
    virtual std::int32_t GetImageWidth(std::int32_t index);
    virtual void SetImageWidth(std::int32_t index, std::int32_t value);
    virtual std::int32_t GetImageHeight(std::int32_t index);
    virtual void SetImageHeight(std::int32_t index, std::int32_t value);
    // Replaces the picture's content with the image as a picture of its own.
    virtual void GetImage(TPicture& picture, std::int32_t index) = 0;
    // At its natural size with its top-left corner at x, y.
    virtual void Draw(TCanvas& canvas, int x, int y, std::int32_t index);
    // Never raises for an image that cannot be had or drawn: the error
    // picture is drawn instead.
    virtual void StretchDraw(TCanvas& canvas, const RECT& rect, std::int32_t index);
    virtual bool IsInvalidIndex(std::int32_t index);

    // GetImage, or the error picture and false when it raises.
    bool GetImageSafe(TPicture& picture, std::int32_t index);

    TBroadcaster& Broadcaster() { return broadcaster_; }

    TNotifyEvent OnChange;

protected:
    // Listeners hear NotifyDestroying, with the pack as sender, and are
    // unlinked before anything of the pack goes; refuses when one will not
    // let go or a reference to the pack is still counted.
    void BeforeDestruction() override;

private:
    TBroadcaster broadcaster_;
};

// Shown in place of an image that cannot be had or drawn: red text on white
// that stretches to any rectangle. Made on first use; it lives until the
// program ends.
const TPicture& ErrorPicture();
// Stretches the error picture into the rectangle. Raises nothing: where even
// that draw fails, nothing is drawn.
void DrawErrorPicture(TCanvas& canvas, const RECT& rect) noexcept;
