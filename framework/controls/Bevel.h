#pragma once

#include "framework/ui/Control.h"

enum class TBevelShape { Box, Frame, TopLine, BottomLine, LeftLine, RightLine };
enum class TBevelStyle { Lowered, Raised };

// A sunken or raised box, frame or line, drawn by its parent.
class TBevel : public TControl {
public:
    explicit TBevel(TComponent* owner);

    static constexpr std::string_view kClassName = "TBevel";

    std::string_view ClassName() const override { return kClassName; }

    TBevelShape Shape() const { return shape_; }
    void SetShape(TBevelShape shape);
    TBevelStyle Style() const { return style_; }
    void SetStyle(TBevelStyle style);

    void Paint(TCanvas& canvas) override;
    void DefineProperties(TProperties& properties) override;

private:
    TBevelShape shape_ = TBevelShape::Box;
    TBevelStyle style_ = TBevelStyle::Lowered;
};
