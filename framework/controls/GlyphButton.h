#pragma once

#include <memory>

#include "framework/graphics/Graphic.h"
#include "framework/ui/WinControl.h"

// A push button with a caption and an optional glyph picture beside it. It is
// the platform's BUTTON, drawn by the framework, so that it stays a real
// push button for the keyboard and for screen readers.
class TBitBtn : public TWinControl {
public:
    explicit TBitBtn(TComponent* owner);

    static constexpr std::string_view kClassName = "TBitBtn";

    std::string_view ClassName() const override { return kClassName; }

    // Enter clicks the default button unless another button has the focus.
    bool Default() const { return default_; }
    void SetDefault(bool isDefault);
    // Esc clicks the cancel button.
    bool Cancel() const { return cancel_; }
    void SetCancel(bool cancel) { cancel_ = cancel; }
    // Given to the form when the button is clicked, so it ends a modal run.
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }

    TGraphic* Glyph() const { return glyph_.get(); }
    // Replaces the glyph; none removes it.
    void SetGlyph(std::unique_ptr<TGraphic> glyph);

    // Does nothing while the button is disabled.
    void Click() override;

    bool ClicksOnEnter(bool focused) const override { return focused || default_; }
    bool ClicksOnEscape() const override { return cancel_; }

    void DefineProperties(TProperties& properties) override;

protected:
    void CreateParams(TCreateParams& params) override;
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool CommandNotified(WORD code) override;
    bool DrawItem(const DRAWITEMSTRUCT& item) override;
    void TextChanged() override { Invalidate(); }

private:
    // Drawn with the heavy frame: the button that Enter clicks now.
    bool ShowsAsDefault(bool focused) const;
    void InvalidateFormButtons();

    bool default_ = false;
    bool cancel_ = false;
    int modalResult_ = 0;
    std::unique_ptr<TGraphic> glyph_;
};
