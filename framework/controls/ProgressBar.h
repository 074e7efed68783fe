#pragma once

#include "framework/ui/WinControl.h"

// The platform's progress bar; the position is kept within minimum and
// maximum.
class TProgressBar : public TWinControl {
public:
    explicit TProgressBar(TComponent* owner);

    static constexpr std::string_view kClassName = "TProgressBar";

    std::string_view ClassName() const override { return kClassName; }

    int Min() const { return min_; }
    void SetMin(int min) { SetRange(min, max_); }
    int Max() const { return max_; }
    void SetMax(int max) { SetRange(min_, max); }
    void SetRange(int min, int max);
    int Position() const { return position_; }
    void SetPosition(int position);

    void DefineProperties(TProperties& properties) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void HandleCreated() override;

private:
    void SendState();

    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
};
