#pragma once

#include <windows.h>

#include <optional>

#include "framework/graphics/Canvas.h"
#include "framework/runtime/Handles.h"

class TWinControl;

// A canvas on a control's window: on the device context that WM_PAINT hands
// out while painting, otherwise on one obtained from the window when first
// drawn on and kept until the next paint or Release.
class TControlCanvas : public TCanvas {
public:
    explicit TControlCanvas(TWinControl& control) : control_(control) {}
    ~TControlCanvas() override;

    // Draws on a device context that someone else owns and releases.
    void Attach(HDC dc);
    void Detach();
    // Gives back a device context obtained from the window.
    void Release();

protected:
    void CreateHandle() override;
    void HandleReleasing() override;

private:
    TWinControl& control_;
    std::optional<TWindowDC> obtained_;
};

// Keeps a control canvas on a borrowed device context for one scope.
class TCanvasAttachment {
public:
    TCanvasAttachment(TControlCanvas& canvas, HDC dc) : canvas_(canvas) { canvas_.Attach(dc); }
    ~TCanvasAttachment() { canvas_.Detach(); }
    TCanvasAttachment(const TCanvasAttachment&) = delete;
    TCanvasAttachment& operator=(const TCanvasAttachment&) = delete;

private:
    TControlCanvas& canvas_;
};
