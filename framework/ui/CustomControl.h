#pragma once

#include "framework/ui/WinControl.h"
#include "framework/ui/ControlCanvas.h"

// A control with a window of the framework's own class that paints itself:
// the background with its brush, then its Paint step on its canvas, then
// the children that have no window of their own.
class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* owner);
    ~TCustomControl() override;

    TControlCanvas& Canvas() { return canvas_; }

    void PaintBackground(HDC dc) override;

protected:
    void CreateParams(TCreateParams& params) override;
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Paints the window into the paint device context.
    virtual void PaintWindow(HDC dc);
    // Paints the visible children without a window of their own, each with
    // its own origin and clipped to its bounds.
    void PaintControls(HDC dc);

private:
    TControlCanvas canvas_;
    bool clickPending_ = false;
};
