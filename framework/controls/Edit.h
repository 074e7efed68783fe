#pragma once

#include "framework/ui/WinControl.h"

// A single-line text field: the platform's EDIT. OnChange follows every
// change of the text, typed or set by the program.
class TEdit : public TWinControl {
public:
    explicit TEdit(TComponent* owner);

    static constexpr std::string_view kClassName = "TEdit";

    std::string_view ClassName() const override { return kClassName; }

    TNotifyEvent OnChange;

    void DefineProperties(TProperties& properties) override;

protected:
    void CreateParams(TCreateParams& params) override;
    bool CommandNotified(WORD code) override;
    void StoreText(const std::string& text) override;
    void TextChanged() override { OnChange(this); }

private:
    bool storingText_ = false;
};
