#include "framework/controls/Label.h"

#include <cctype>

#include "framework/runtime/Handles.h"
#include "framework/runtime/ShiftJis.h"

TLabel::TLabel(TComponent* owner) : TWinControl(owner)
{
    SetBounds(0, 0, 65, 12);
}

void TLabel::CreateParams(TCreateParams& params)
{
    TWinControl::CreateParams(params);
    params.className = "STATIC";
    params.style |= SS_LEFTNOWORDWRAP;
}

void TLabel::SetAutoSize(bool autoSize)
{
    if (autoSize == autoSize_)
        return;
    autoSize_ = autoSize;
    AdjustSize();
}

void TLabel::SetTransparent(bool transparent)
{
    if (transparent == transparent_)
        return;
    transparent_ = transparent;
    Redraw();
}

bool TLabel::IsAccelerator(char key) const
{
    const std::string caption = Text();
    const TLeadBytes& leads = TLeadBytes::ShiftJis();
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (leads.CharLength(caption, i) == 2) {
            ++i;
            continue;
        }
        if (caption[i] != '&' || i + 1 >= caption.size())
            continue;
        const char marked = caption[++i];
        if (marked == '&')
            continue;
        return std::toupper(static_cast<unsigned char>(marked)) == std::toupper(static_cast<unsigned char>(key));
    }
    return false;
}

bool TLabel::HandleAccelerator(char key)
{
    if (!IsAccelerator(key))
        return false;
    if (focusControl_ && focusControl_->CanFocus())
        focusControl_->SetFocus();
    return true;
}

void TLabel::ControlLeaving(TControl& control)
{
    if (focusControl_ == &control)
        focusControl_ = nullptr;
}

void TLabel::AdjustSize()
{
    if (!autoSize_ || Loading())
        return;
    const TWindowDC screen;
    const TSelectedObject font(screen.Handle(), Font().Handle());
    const std::string caption = Text();
    RECT size{0, 0, 0, 0};
    // An empty caption still takes the height of a line.
    DrawTextA(screen.Handle(), caption.empty() ? " " : caption.c_str(), -1, &size, DT_CALCRECT | DT_EXPANDTABS);
    SetBounds(Left(), Top(), caption.empty() ? 0 : size.right, size.bottom);
}

void TLabel::Redraw()
{
    // The platform draws a new caption over the old one without erasing.
    if (HandleAllocated())
        RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
}

void TLabel::TextChanged()
{
    AdjustSize();
    Redraw();
}

void TLabel::FontChanged()
{
    TWinControl::FontChanged();
    AdjustSize();
}

void TLabel::Loaded()
{
    TWinControl::Loaded();
    AdjustSize();
}

LRESULT TLabel::WndProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ERASEBKGND && transparent_ && Parent()) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        POINT origin;
        OffsetViewportOrgEx(dc, -Left(), -Top(), &origin);
        Parent()->PaintBackground(dc);
        SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
        return 1;
    }
    return TWinControl::WndProc(message, wParam, lParam);
}

HBRUSH TLabel::ControlColor(HDC dc)
{
    SetTextColor(dc, ColorToRGB(Font().Color()));
    SetBkMode(dc, TRANSPARENT);
    if (transparent_ || !Parent())
        return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    return Parent()->Brush().Handle();
}

void TLabel::DefineProperties(TProperties& properties)
{
    TWinControl::DefineProperties(properties);
    properties.String("Caption", [this] { return Text(); }, [this](std::string v) { SetText(v); }, std::string());
    properties.Boolean("AutoSize", [this] { return autoSize_; }, [this](bool v) { SetAutoSize(v); }, true);
    properties.Boolean("Transparent", [this] { return transparent_; }, [this](bool v) { SetTransparent(v); }, false);
    properties.Reference<TWinControl>(
        "FocusControl", [this] { return focusControl_; }, [this](TWinControl* control) { SetFocusControl(control); },
        "cannot take the focus");
}
