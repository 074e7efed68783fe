#include "framework/ui/CustomControl.h"

#include <windowsx.h>

#include "framework/runtime/Handles.h"

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner), canvas_(*this) {}

TCustomControl::~TCustomControl()
{
    // The canvas may hold a device context of the window, which goes next.
    canvas_.Release();
}

void TCustomControl::CreateParams(TCreateParams& params)
{
    TWinControl::CreateParams(params);
    params.className = "ZelmoriaControl";
    params.ownClass = true;
    params.classStyle = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    params.style |= WS_CLIPCHILDREN;
    params.exStyle |= WS_EX_CONTROLPARENT;
}

LRESULT TCustomControl::WndProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        if (Brush().Style() != TBrushStyle::Clear) {
            const RECT client = ClientRect();
            FillRect(reinterpret_cast<HDC>(wParam), &client, Brush().Handle());
        }
        return 1;
    case WM_PAINT: {
        canvas_.Release();
        const TPaintDC paint(Handle());
        PaintWindow(paint.Handle());
        return 0;
    }
    case WM_LBUTTONDOWN:
        // A click is a press and a release on the control itself; the mouse
        // stays with it in between.
        clickPending_ = !ControlAtPoint({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        if (clickPending_)
            SetCapture(Handle());
        break;
    case WM_LBUTTONUP: {
        const bool click = clickPending_;
        clickPending_ = false;
        const LRESULT result = TWinControl::WndProc(message, wParam, lParam);
        if (click) {
            ReleaseCapture();
            const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            const RECT client = ClientRect();
            if (PtInRect(&client, point))
                Click();
        }
        return result;
    }
    case WM_CAPTURECHANGED: clickPending_ = false; break;
    default: break;
    }
    return TWinControl::WndProc(message, wParam, lParam);
}

void TCustomControl::PaintWindow(HDC dc)
{
    {
        const TCanvasAttachment attached(canvas_, dc);
        canvas_.Font().Assign(Font());
        Paint(canvas_);
    }
    PaintControls(dc);
}

void TCustomControl::PaintControls(HDC dc)
{
    for (TControl* control : Controls()) {
        if (dynamic_cast<TWinControl*>(control) || !control->Visible())
            continue;
        const RECT bounds = control->BoundsRect();
        if (!RectVisible(dc, &bounds))
            continue;
        const TSavedDCState saved(dc);
        OffsetViewportOrgEx(dc, bounds.left, bounds.top, nullptr);
        IntersectClipRect(dc, 0, 0, control->Width(), control->Height());
        const TCanvasAttachment attached(canvas_, dc);
        canvas_.Font().Assign(Font());
        control->Paint(canvas_);
    }
}

void TCustomControl::PaintBackground(HDC dc)
{
    TWinControl::PaintBackground(dc);
    PaintControls(dc);
}
