#pragma once

#include "framework/ui/WinControl.h"

// A line of text: the platform's STATIC, so that screen readers find it. An
// "&" in the caption underlines the next character, and Alt with that
// character moves the focus to FocusControl.
class TLabel : public TWinControl {
public:
    explicit TLabel(TComponent* owner);

    static constexpr std::string_view kClassName = "TLabel";

    std::string_view ClassName() const override { return kClassName; }

    // Sizes the label to its caption.
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);
    // Shows what lies behind the label instead of the parent's colour.
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent);
    TWinControl* FocusControl() const { return focusControl_; }
    void SetFocusControl(TWinControl* control) { focusControl_ = control; }

    // Whether the caption marks this character (of any case) with "&".
    bool IsAccelerator(char key) const;
    // Alt with the marked character moves the focus to FocusControl.
    bool HandleAccelerator(char key) override;
    void ControlLeaving(TControl& control) override;

    bool TakesTabOrder() const override { return false; }
    void Loaded() override;
    void DefineProperties(TProperties& properties) override;

protected:
    void CreateParams(TCreateParams& params) override;
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    HBRUSH ControlColor(HDC dc) override;
    void TextChanged() override;
    void FontChanged() override;

private:
    void AdjustSize();
    void Redraw();

    bool autoSize_ = true;
    bool transparent_ = false;
    TWinControl* focusControl_ = nullptr;
};
