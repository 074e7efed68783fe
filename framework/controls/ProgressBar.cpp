#include "framework/controls/ProgressBar.h"

#include <commctrl.h>

#include <algorithm>

#include "framework/runtime/SystemLibrary.h"

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner)
{
    SetBounds(0, 0, 150, 16);
}

void TProgressBar::CreateParams(TCreateParams& params)
{
    // Without the class the window cannot be made, which CreateHandle reports.
    if (auto* initialize = SystemFunction<decltype(InitCommonControlsEx)>("comctl32.dll", "InitCommonControlsEx")) {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
        initialize(&controls);
    }
    TWinControl::CreateParams(params);
    params.className = PROGRESS_CLASSA;
}

void TProgressBar::HandleCreated()
{
    SendState();
}

void TProgressBar::SendState()
{
    SendMessageA(Handle(), PBM_SETRANGE32, static_cast<WPARAM>(min_), static_cast<LPARAM>(max_));
    SendMessageA(Handle(), PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

void TProgressBar::SetRange(int min, int max)
{
    if (max < min)
        max = min;
    if (min == min_ && max == max_)
        return;
    min_ = min;
    max_ = max;
    position_ = std::clamp(position_, min_, max_);
    if (HandleAllocated())
        SendState();
}

void TProgressBar::SetPosition(int position)
{
    position = std::clamp(position, min_, max_);
    if (position == position_)
        return;
    position_ = position;
    if (HandleAllocated())
        SendMessageA(Handle(), PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

void TProgressBar::DefineProperties(TProperties& properties)
{
    TWinControl::DefineProperties(properties);
    properties.Integer("Min", [this] { return min_; }, [this](int v) { SetMin(v); }, 0);
    properties.Integer("Max", [this] { return max_; }, [this](int v) { SetMax(v); }, 100);
    properties.Integer("Position", [this] { return position_; }, [this](int v) { SetPosition(v); }, 0);
}
