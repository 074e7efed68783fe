#pragma once

#include "framework/ui/CustomControl.h"

enum class TBevelCut { None, Lowered, Raised };

// A container drawn with an outer and an inner bevel; its children are placed
// in its client area, bevels included.
class TPanel : public TCustomControl {
public:
    explicit TPanel(TComponent* owner);

    static constexpr std::string_view kClassName = "TPanel";

    std::string_view ClassName() const override { return kClassName; }

    TBevelCut BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TBevelCut cut);
    TBevelCut BevelInner() const { return bevelInner_; }
    void SetBevelInner(TBevelCut cut);
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int width);

    void Paint(TCanvas& canvas) override;
    void DefineProperties(TProperties& properties) override;

private:
    TBevelCut bevelOuter_ = TBevelCut::Raised;
    TBevelCut bevelInner_ = TBevelCut::None;
    int bevelWidth_ = 1;
};

// Draws a bevel of the given width just inside the rectangle and shrinks the
// rectangle to what lies within it.
void DrawBevel(TCanvas& canvas, RECT& rect, TBevelCut cut, int width);
