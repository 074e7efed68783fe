#pragma once

#include <windows.h>

#include <string_view>

#include "framework/graphics/DrawingTools.h"
#include "framework/ui/CustomControl.h"

// A brush whose colour and style are stored with a layout even when they are
// the defaults, so that a layout always states the colour it was made with.
class TNoDefaultBrush : public TBrush {
public:
    void DefineProperties(TProperties& properties) override;
};

// A windowed control that paints all of itself: no background erase, its own
// Brush, a full repaint whenever it is moved or resized, and the program's
// default palette realised behind its painting on palette screens.
class TOriginalControl : public TCustomControl {
public:
    explicit TOriginalControl(TComponent* owner);

    static constexpr std::string_view kClassName = "TOriginalControl";
    std::string_view ClassName() const override { return kClassName; }

    // Copies colour and style; the control keeps its own brush.
    void SetBrush(const TBrush& brush) { Brush().Assign(brush); }
    bool FullRepaint() const { return fullRepaint_; }
    void SetFullRepaint(bool fullRepaint) { fullRepaint_ = fullRepaint; }

    HPALETTE GetPalette() override;
    // Fills the client area with the brush.
    void Paint(TCanvas& canvas) override;
    void DefineProperties(TProperties& properties) override;

protected:
    virtual void BrushChanged();

    void CreateParams(TCreateParams& params) override;
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PaintWindow(HDC dc) override;

private:
    bool fullRepaint_ = true;
};
